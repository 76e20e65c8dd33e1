// node polars_load.js FILE: reads the table with nodejs-polars, every column as doubles, then
// every value again for each column's minimum and maximum. Prints the rows and the seconds of
// reading and scanning.
const pl = require("nodejs-polars");
const { columnNames } = require("./header");

const file = process.argv[2];
const schema = Object.fromEntries(columnNames(file).map((name) => [name, pl.Float64]));
const start = process.hrtime.bigint();
const frame = pl.readCSV(file, { schema });
const low = frame.min();
const high = frame.max();
const seconds = Number(process.hrtime.bigint() - start) / 1e9;
if (low.width !== frame.width || high.width !== frame.width) throw new Error("no minimum");
console.log(`rows=${frame.height} seconds=${seconds.toFixed(3)}`);
