#!/usr/bin/env node
// Replays every game of a PGN file with chess.js and prints its result and how it
// ended; a game that does not replay (an illegal move in the record) is counted.
//   node check_pgn.js games.pgn [player]   player: counts wins, draws and losses for it
'use strict';
const fs = require('fs');
const { Chess } = require('chess.js');

const [file, player = 'Talvo'] = process.argv.slice(2);
const text = fs.readFileSync(file, 'utf8').replace(/\r/g, '');
const games = text.split(/\n(?=\[Event )/).map((g) => g.trim()).filter(Boolean);
const tally = { win: 0, draw: 0, loss: 0, unplayable: 0, timeForfeits: 0 };
games.forEach((pgn, i) => {
  const tag = (name) => (new RegExp(`\\[${name} "([^"]*)"\\]`).exec(pgn) || [])[1] || '?';
  const chess = new Chess();
  let note = '';
  try {
    chess.loadPgn(pgn);
  } catch (e) {
    tally.unplayable++;
    note = `DOES NOT REPLAY: ${e.message}`;
  }
  const result = tag('Result');
  const ending = (/\{([^}]*)\}\s*(1-0|0-1|1\/2-1\/2|\*)\s*$/.exec(pgn) || [])[1] || '';
  const white = tag('White'), black = tag('Black');
  const mine = white.includes(player) ? '1-0' : black.includes(player) ? '0-1' : null;
  if (mine) {
    if (result === '1/2-1/2') tally.draw++;
    else if (result === mine) tally.win++;
    else if (result === '1-0' || result === '0-1') tally.loss++;
  }
  if (/time/i.test(ending) && mine && result !== mine && result !== '1/2-1/2') tally.timeForfeits++;
  console.log(`game ${i + 1}: ${white} - ${black}  ${result}  {${ending}}  ${chess.history().length} plies replayed ${note}`);
});
console.log(`${games.length} games; ${player}: +${tally.win} =${tally.draw} -${tally.loss}; ` +
  `lost on time ${tally.timeForfeits}; games that do not replay ${tally.unplayable}`);
process.exit(tally.unplayable || tally.timeForfeits ? 1 : 0);
