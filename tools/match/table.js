#!/usr/bin/env node
// The sweep's results as a markdown table, one row per control and opponent.
//
//   node table.js [--run ID | --all] [results.jsonl]
//
// The file (default build/sweep/results.jsonl) holds one SUMMARY object of
// sweep.js per line, from every sweep so far; without --all only the rows of one
// run are shown, by default those of the last run in the file.
'use strict';

const fs = require('fs');
const path = require('path');

let file = path.resolve(__dirname, '../../build/sweep/results.jsonl');
let run = null, all = false;
const argv = process.argv.slice(2);
for (let i = 0; i < argv.length; i++) {
  if (argv[i] === '--all') all = true;
  else if (argv[i] === '--run') run = argv[++i];
  else file = argv[i];
}

const rows = [];
if (!fs.existsSync(file)) {
  console.log(`no results in ${file}`);
  process.exit(0);
}
fs.readFileSync(file, 'utf8').split('\n').forEach((line, n) => {
  if (!line.trim()) return;
  try {
    rows.push(JSON.parse(line));
  } catch (e) {
    console.error(`${file}:${n + 1}: not JSON, skipped`);
  }
});
if (!all && run === null && rows.length) run = rows[rows.length - 1].run;
const shown = all ? rows : rows.filter((r) => r.run === run);

const dash = (x) => (x === null || x === undefined ? '-' : String(x));
const opponentName = (command) => path.basename(String(command).split(/\s+/)[0]);
const withExtra = (count, extra, word) => (extra ? `${count} (${extra} ${word})` : String(count));

const header = ['control', 'opponent', '+W =D -L', 'score %', 'forfeits', 'illegal', 'crashes',
  'avg depth', 'avg ms/move', 'max ms/move', 'least clock left ms', 'opp ms/move'];
const lines = [header, header.map(() => '---')];
for (const r of shown) {
  lines.push([
    r.name,
    opponentName(r.opponent),
    `+${r.wins} =${r.draws} -${r.losses}`,
    dash(r.scorePct),
    withExtra(r.talvoTimeForfeits, r.talvoOverTime, 'over time'),
    String(r.talvoIllegal),
    withExtra(r.talvoCrashes, r.talvoBadExits, 'bad exits'),
    r.talvoAvgDepth === null ? '-' : `${r.talvoAvgDepth}` + (r.talvoDepthMoves < r.talvoMoves ? ` (${r.talvoDepthMoves}/${r.talvoMoves})` : ''),
    dash(r.talvoAvgMs),
    dash(r.talvoMaxMs),
    dash(r.talvoMinClockLeftMs),
    dash(r.opponentAvgMs),
  ]);
}
for (const l of lines) console.log(`| ${l.join(' | ')} |`);
const flawed = shown.filter((r) => r.talvoTimeForfeits + r.talvoIllegal + r.talvoCrashes + (r.talvoBadExits || 0) > 0);
const opponentFlaws = shown.filter((r) => r.opponentTimeForfeits + r.opponentIllegal + r.opponentCrashes > 0);
console.log('');
console.log(`${shown.length} rows${all ? '' : ` of run ${run || '(none)'}`}; Talvo at fault in ${flawed.length}` +
  (opponentFlaws.length ? `; the opponent lost on time, moved illegally or crashed in: ` +
    opponentFlaws.map((r) => `${r.name} vs ${opponentName(r.opponent)}`).join(', ') : ''));
