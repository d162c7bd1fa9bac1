// Feeds byte streams to @xterm/headless and prints each screen's cells.
// Usage: node xterm-cells.js ROWS COLUMNS FILE... (the module is found
// through NODE_PATH). For each file: "SCREEN name", "CURSOR row column",
// then one "ROW r" line per row of "code,fg,bg,flags" cells separated by
// blanks (fg and bg: -1 default, else the palette index; flags: 1 bold,
// 2 underline, 4 blink, 8 inverse, 16 invisible).
'use strict';
const fs = require('fs');
const path = require('path');
const { Terminal } = require('@xterm/headless');

const [rows, cols] = [Number(process.argv[2]), Number(process.argv[3])];
const files = process.argv.slice(4);

function colour(cell, fg) {
  const isDefault = fg ? cell.isFgDefault() : cell.isBgDefault();
  if (isDefault) return -1;
  const palette = fg ? cell.isFgPalette() : cell.isBgPalette();
  return palette ? (fg ? cell.getFgColor() : cell.getBgColor()) : -2;
}

function dump(name, term) {
  const out = [`SCREEN ${name}`];
  const buf = term.buffer.active;
  out.push(`CURSOR ${buf.cursorY} ${buf.cursorX}`);
  for (let y = 0; y < rows; ++y) {
    const line = buf.getLine(buf.viewportY + y);
    const cells = [];
    for (let x = 0; x < cols; ++x) {
      const cell = line.getCell(x);
      const chars = cell.getChars();
      const code = chars.length ? chars.codePointAt(0) : 32;
      const flags = (cell.isBold() ? 1 : 0) | (cell.isUnderline() ? 2 : 0) | (cell.isBlink() ? 4 : 0) |
                    (cell.isInverse() ? 8 : 0) | (cell.isInvisible() ? 16 : 0);
      cells.push(`${code},${colour(cell, true)},${colour(cell, false)},${flags}`);
    }
    out.push(`ROW ${y} ${cells.join(' ')}`);
  }
  return out.join('\n') + '\n';
}

async function main() {
  let output = '';
  for (const file of files) {
    const term = new Terminal({ rows, cols, allowProposedApi: true, scrollback: 0 });
    const data = fs.readFileSync(file).toString('latin1');
    await new Promise((resolve) => term.write(data, resolve));
    output += dump(path.basename(file), term);
    term.dispose();
  }
  process.stdout.write(output);
}

main().catch((e) => { console.error(e); process.exit(1); });
