// Runs the Khronos glTF validator on each file named (.glb, or .gltf with its
// buffer files beside it) and prints one line per file with its error,
// warning and info counts, then each error and warning.
// Exit status 1 when any file has an error or a warning.
// Usage: node tools/gltf-validate.js NODE_MODULES_DIR FILE...
'use strict';
const fs = require('fs');
const path = require('path');

const [modules, ...files] = process.argv.slice(2);
const validator = require(path.resolve(modules, 'gltf-validator'));

(async () => {
  let bad = false;
  for (const file of files) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
      maxIssues: 50,
      uri: file,
      // A .gltf's buffer, beside it; nothing else is fetched.
      externalResourceFunction: (uri) =>
        new Promise((resolve, reject) =>
          fs.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri)), (error, data) =>
            error ? reject(error) : resolve(new Uint8Array(data)))),
    });
    const { numErrors, numWarnings, numInfos } = report.issues;
    console.log(`${file}: ${numErrors} errors, ${numWarnings} warnings, ${numInfos} infos`);
    for (const m of report.issues.messages)
      if (m.severity <= 1 || process.env.GLTF_VALIDATE_VERBOSE)
        console.log(`  ${['error', 'warning', 'info', 'hint'][m.severity]} ${m.code} ${m.pointer || ''}: ${m.message}`);
    if (numErrors > 0 || numWarnings > 0) bad = true;
  }
  process.exit(bad ? 1 : 0);
})().catch((e) => {
  console.error(e.message);
  process.exit(2);
});
