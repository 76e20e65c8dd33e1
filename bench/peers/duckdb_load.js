// node duckdb_load.js FILE: DuckDB's read_csv with every column as a double, asked for the
// minimum and maximum of every column so that every value is read. Prints the rows and the
// seconds of the query.
const { DuckDBInstance } = require("@duckdb/node-api");
const { columnNames } = require("./header");

const quoted = (text, mark) => mark + text.split(mark).join(mark + mark) + mark;

async function main() {
  const file = process.argv[2];
  const names = columnNames(file);
  const types = names.map((name) => `${quoted(name, "'")}: 'DOUBLE'`).join(", ");
  const ranges = names.map((name) => `min(${quoted(name, '"')}), max(${quoted(name, '"')})`);
  const sql =
    `SELECT count(*), ${ranges.join(", ")} FROM ` +
    `read_csv(${quoted(file, "'")}, header = true, delim = ',', columns = {${types}})`;
  const connection = await (await DuckDBInstance.create(":memory:")).connect();
  const start = process.hrtime.bigint();
  const rows = (await connection.runAndReadAll(sql)).getRows();
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  console.log(`rows=${rows[0][0]} seconds=${seconds.toFixed(3)}`);
}

main();
