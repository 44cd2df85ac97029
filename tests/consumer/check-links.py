# check-links.py FOLDER: every relative link in the Markdown files of FOLDER
# (its own and docs/: the repository, or an installed tree as the release
# archive holds it) must name a file that is there, and an anchor, a heading
# of that file as GitHub makes anchors of headings. Prints each
# broken link; exits 1 when there is any.
import pathlib, re, sys

folder = pathlib.Path(sys.argv[1])
pages = sorted(folder.glob("*.md")) + sorted(folder.glob("docs/*.md"))


def anchors(page):
    text = re.sub(r"^```.*?^```", "", page.read_text(encoding="utf-8"), flags=re.M | re.S)
    headings = re.findall(r"^#+ +(.+?) *$", text, flags=re.M)
    return {re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-") for heading in headings}


broken = 0
for page in pages:
    text = re.sub(r"^```.*?^```", "", page.read_text(encoding="utf-8"), flags=re.M | re.S)
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        linked = (page.parent / path).resolve() if path else page
        if not linked.exists() or (anchor and linked.suffix == ".md" and anchor not in anchors(linked)):
            print(f"{page.relative_to(folder)}: broken link {target}")
            broken += 1
print(f"{len(pages)} pages, {broken} broken links")
sys.exit(1 if broken or not pages else 0)
