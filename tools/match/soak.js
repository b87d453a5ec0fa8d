#!/usr/bin/env node
// Soak: many fast games in a row against fairymax, phalanx and Talvo itself (both
// sides pondering). Each Talvo process is kept for a whole match, the way an
// interface keeps its engine between games ("new" starts the next one), so that
// whatever one game leaves behind meets the next. Every move is checked with
// chess.js and the clocks are kept here. After each game the resident memory of
// every Talvo process is read from /proc/<pid>/status.
//
//   node soak.js [--games 70] [--base 2] [--inc 0.02] [--talvo ../../build/talvo]
//                [--only fairymax,phalanx,self] [--log-dir DIR]
//
// Prints a line per game, then per match and overall: results from Talvo's side,
// crashes, illegal moves, time forfeits, and memory after the first and the last
// game. Exits 1 when Talvo crashed, hung, lost on time or moved illegally.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { Chess } = require('chess.js');
const { Engine, levelCommand, chessResult, centiseconds } = require('./match.js');

function parseArgs(argv) {
  const args = {
    talvo: path.resolve(__dirname, '../../build/talvo'),
    games: 70, base: 2, inc: 0.02, only: 'fairymax,phalanx,self', logDir: '', maxPlies: 500,
  };
  for (let i = 2; i < argv.length; i++) {
    const key = argv[i].replace(/^--/, '');
    const value = argv[++i];
    if (key === 'games' || key === 'base' || key === 'inc') args[key] = Number(value);
    else if (key === 'log-dir') args.logDir = value;
    else args[key] = value;
  }
  return args;
}

// Resident memory of a process in kB, or 0 when it is gone.
function residentKb(engine) {
  try {
    const status = fs.readFileSync(`/proc/${engine.proc.pid}/status`, 'utf8');
    const m = /VmRSS:\s+(\d+)/.exec(status);
    return m ? Number(m[1]) : 0;
  } catch (e) {
    return 0;
  }
}

// A Talvo process that lives across games; restarted only after a crash.
class Player {
  constructor(name, commandLine, workDir, ponder, keep) {
    Object.assign(this, { name, commandLine, workDir, ponder, keep, engine: null, pings: 0, memory: [] });
  }
  async ensureStarted() {
    if (this.engine && !this.engine.exited) return;
    this.engine = new Engine(this.name, this.commandLine, this.workDir);
    this.engine.send('xboard');
    this.engine.send('protover 2');
    await this.engine.waitFor((l) => /feature.*done=1/.test(l), 1000);
  }
  // Both sides agree that everything sent so far has been handled.
  async sync() {
    const n = ++this.pings;
    this.engine.send(`ping ${n}`);
    return (await this.engine.waitFor((l) => l === `pong ${n}`, 10000)) !== null;
  }
  async newGame(level) {
    await this.ensureStarted();
    this.engine.lines = [];
    this.engine.transcript = [];
    this.engine.send('new');
    this.engine.send(this.ponder ? 'hard' : 'easy');
    this.engine.send(level);
  }
  finish(outcome) {
    this.engine.send(`result ${outcome.result} {${outcome.reason}}`);
    if (!this.keep) {
      this.engine.stop();
      this.engine = null;  // the next game starts a fresh one
    }
  }
}

// Plays one game between two players; the flaw ('illegal', 'time', 'crash') is
// charged to loser.
async function playGame(args, players) {
  const chess = new Chess();
  const clock = { w: args.base * 1000, b: args.base * 1000 };
  const level = levelCommand(args.base, args.inc);
  for (const side of ['w', 'b']) await players[side].newGame(level);
  const engines = { w: players.w.engine, b: players.b.engine };
  engines.w.send(`time ${centiseconds(clock.w)}`);
  engines.w.send(`otim ${centiseconds(clock.b)}`);
  engines.w.send('go');

  let outcome = null;
  while (!outcome) {
    const side = chess.turn(), opp = side === 'w' ? 'b' : 'w';
    const mover = engines[side], name = players[side].name;
    const winner = opp === 'w' ? '1-0' : '0-1';
    const started = Date.now();
    const line = await mover.waitFor((l) => /^move\s/.test(l) || /^resign/.test(l) ||
        /^(1-0|0-1|1\/2-1\/2)\s/.test(l) || /^Illegal move/.test(l), clock[side] + 5000);
    const elapsed = Date.now() - started;
    if (line === null) {
      outcome = { result: winner, reason: `${name} ${mover.exited ? 'crashed' : 'hangs'}`, loser: side,
                  flaw: mover.exited ? 'crash' : 'time' };
      break;
    }
    if (/^Illegal move/.test(line)) {
      outcome = { result: side === 'w' ? '0-1' : '1-0', reason: `${name} refused ${line}`, loser: opp, flaw: 'illegal' };
      break;
    }
    if (/^resign/.test(line)) {
      outcome = { result: winner, reason: `${name} resigns`, loser: side, flaw: '' };
      break;
    }
    if (/^(1-0|0-1|1\/2-1\/2)\s/.test(line)) {
      const truth = chessResult(chess);
      if (truth && line.startsWith(truth[0])) outcome = { result: truth[0], reason: truth[1], loser: null, flaw: '' };
      continue;
    }
    clock[side] -= elapsed;
    if (clock[side] < 0) {
      outcome = { result: winner, reason: `${name} loses on time`, loser: side, flaw: 'time' };
      break;
    }
    clock[side] += args.inc * 1000;
    const text = line.split(/\s+/)[1];
    const m = /^([a-h][1-8])([a-h][1-8])([qrbnQRBN]?)$/.exec(text || '');
    let played = null;
    try {
      if (m) played = chess.move({ from: m[1], to: m[2], promotion: m[3] ? m[3].toLowerCase() : undefined });
      else if (/^O-O(-O)?$/.test(text)) played = chess.move(text);
    } catch (e) {
      played = null;
    }
    if (!played) {
      outcome = { result: winner, reason: `${name} plays illegal ${text}`, loser: side, flaw: 'illegal' };
      break;
    }
    const over = chessResult(chess);
    if (over) { outcome = { result: over[0], reason: over[1], loser: null, flaw: '' }; break; }
    if (chess.history().length >= args.maxPlies) { outcome = { result: '1/2-1/2', reason: 'move limit', loser: null, flaw: '' }; break; }
    engines[opp].send(`time ${centiseconds(clock[opp])}`);
    engines[opp].send(`otim ${centiseconds(clock[side])}`);
    engines[opp].send(played.from + played.to + (played.promotion || ''));
  }
  for (const side of ['w', 'b']) players[side].finish(outcome);
  outcome.plies = chess.history().length;
  outcome.pgn = chess.pgn();
  return outcome;
}

async function runMatch(args, opponent, workDir, total) {
  const talvos = [new Player('Talvo', args.talvo, workDir, opponent === 'self', true)];
  let other;
  if (opponent === 'self') {
    other = new Player('Talvo-2', args.talvo, workDir, true, true);
    talvos.push(other);
  } else {
    const command = opponent === 'phalanx' ? '/usr/games/phalanx -l- -c-' : '/usr/games/fairymax';
    other = new Player(opponent, command, workDir, false, false);
  }
  const stats = { games: 0, win: 0, draw: 0, loss: 0, crash: 0, illegal: 0, time: 0, opponentFlaws: 0 };
  console.log(`== Talvo vs ${opponent === 'self' ? 'Talvo (both pondering)' : opponent}: ${args.games} games at ${args.base}s + ${args.inc}s`);
  for (let g = 0; g < args.games; g++) {
    const talvoWhite = g % 2 === 0;
    const players = talvoWhite ? { w: talvos[0], b: other } : { w: other, b: talvos[0] };
    const o = await playGame(args, players);
    const talvoSide = talvoWhite ? 'w' : 'b';
    const score = o.result === '1/2-1/2' ? 0.5 : (o.result === '1-0') === talvoWhite ? 1 : 0;
    stats.games++;
    if (score === 1) stats.win++; else if (score === 0) stats.loss++; else stats.draw++;
    // In self-play either side's flaw is Talvo's.
    const talvoFlaw = o.flaw && (opponent === 'self' || o.loser === talvoSide);
    if (talvoFlaw) stats[o.flaw]++;
    else if (o.flaw) stats.opponentFlaws++;
    const memory = [];
    for (const t of talvos) {
      if (t.engine.exited) { memory.push(`${t.name} exited`); continue; }
      await t.sync();
      const kb = residentKb(t.engine);
      t.memory.push(kb);
      memory.push(`${t.name} ${kb} kB`);
    }
    total.games++;
    console.log(`game ${g + 1}: Talvo ${talvoWhite ? 'White' : 'Black'}  ${o.result}  ${o.reason}  (${o.plies} plies)  rss: ${memory.join(', ')}`);
    if (talvoFlaw && args.logDir) {
      const file = path.join(args.logDir, `soak-${opponent}-game-${g + 1}.txt`);
      fs.writeFileSync(file, players.w.engine.transcript.join('\n') + '\n--\n' +
        players.b.engine.transcript.join('\n') + '\n' + o.pgn + '\n');
      console.log(`  transcript: ${file}`);
    }
  }
  for (const t of talvos) t.engine.stop();
  if (!other.keep && other.engine) other.engine.stop();
  console.log(`Talvo vs ${opponent}: +${stats.win} =${stats.draw} -${stats.loss}; crashes ${stats.crash}, ` +
    `illegal moves ${stats.illegal}, time forfeits ${stats.time}; opponent flaws ${stats.opponentFlaws}`);
  for (const t of talvos) {
    const m = t.memory;
    if (m.length) console.log(`${t.name} memory: after game 1 ${m[0]} kB, after game ${m.length} ${m[m.length - 1]} kB, largest ${Math.max(...m)} kB`);
  }
  for (const k of ['crash', 'illegal', 'time']) total[k] += stats[k];
}

async function main() {
  const args = parseArgs(process.argv);
  args.talvo = path.resolve(args.talvo);
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'talvo-soak-'));
  const total = { games: 0, crash: 0, illegal: 0, time: 0 };
  for (const opponent of args.only.split(',')) await runMatch(args, opponent, workDir, total);
  console.log(`Soak: ${total.games} games; Talvo crashes ${total.crash}, illegal moves ${total.illegal}, time forfeits ${total.time}`);
  fs.rmSync(workDir, { recursive: true, force: true });
  process.exit(total.crash + total.illegal + total.time ? 1 : 0);
}

main();
