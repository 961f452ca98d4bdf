// The comparison simplifier on the corner heights bench_simplify wrote:
//   node bench/delatin_run.mjs DELATIN_DIR HEIGHTS WIDTH HEIGHT E...
// prints "E triangles vertices seconds cpu-seconds" per E, timed from the heights in
// memory to the finished mesh. Small grids run repeatedly, as in bench_simplify.
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import { join } from 'node:path';

const [dir, file, w, h, ...errors] = process.argv.slice(2);
const { default: Delatin } = await import(pathToFileURL(join(dir, 'node_modules/delatin/index.js')).href);
const bytes = readFileSync(file);
const heights = new Float64Array(bytes.buffer, bytes.byteOffset, bytes.length / 8);
// Small grids: one untimed round first, so that the timed rounds run compiled code.
if (heights.length < 4e6) for (const e of errors) new Delatin(heights, Number(w), Number(h)).run(Number(e));
const repeats = heights.length < 4e6 ? Math.floor(4e6 / heights.length) : 1;
for (const e of errors) {
  const start = process.hrtime.bigint();
  const cpuStart = process.cpuUsage();
  let tin;
  for (let i = 0; i < repeats; i++) {
    tin = new Delatin(heights, Number(w), Number(h));
    tin.run(Number(e));
  }
  const seconds = Number(process.hrtime.bigint() - start) / 1e9 / repeats;
  const cpu = process.cpuUsage(cpuStart);
  const cpuSeconds = (cpu.user + cpu.system) / 1e6 / repeats;
  console.log(`${e} ${tin.triangles.length / 3} ${tin.coords.length / 2} ${seconds.toFixed(5)} ${cpuSeconds.toFixed(5)}`);
}
