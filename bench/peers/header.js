// The column names of a CSV file's header line, without reading the rest of the file.
const fs = require("fs");

function columnNames(file) {
  const handle = fs.openSync(file, "r");
  const buffer = Buffer.alloc(1 << 16);
  const length = fs.readSync(handle, buffer, 0, buffer.length, 0);
  fs.closeSync(handle);
  const line = buffer.toString("utf8", 0, length).split("\n")[0].replace(/\r$/, "");
  return line.split(",").map((name) => name.trim());
}

module.exports = { columnNames };
