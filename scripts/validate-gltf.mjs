// Validates glTF files with the Khronos glTF validator: prints each file's counts of errors and
// warnings, and every error; exits 1 when any file has an error. Run by scripts/check-export.sh
// as: node scripts/validate-gltf.mjs VALIDATOR_DIR FILE...
import fs from 'node:fs';
import path from 'node:path';
import {createRequire} from 'node:module';

const [validatorDir, ...files] = process.argv.slice(2);
const validator = createRequire(path.resolve(validatorDir, 'package.json'))('gltf-validator');

let failed = false;
for (const file of files) {
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: file,
    maxIssues: 100,
    // Buffers and images beside a .gltf file.
    externalResourceFunction: (uri) =>
      Promise.resolve(new Uint8Array(
          fs.readFileSync(path.resolve(path.dirname(file), decodeURIComponent(uri))))),
  });
  const issues = report.issues;
  console.log(`${file}: ${issues.numErrors} error(s), ${issues.numWarnings} warning(s)`);
  for (const m of issues.messages.filter((m) => m.severity === 0)) {
    console.log(`  ${m.code} at ${m.pointer ?? m.offset}: ${m.message}`);
  }
  if (issues.numErrors > 0) failed = true;
}
process.exit(failed ? 1 : 0);
