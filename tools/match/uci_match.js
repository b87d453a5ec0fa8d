#!/usr/bin/env node
// A small UCI match runner: Talvo in UCI mode against another UCI engine, every
// move checked with chess.js, the clocks kept here. Prints one line per game and a
// summary from Talvo's side.
//
//   node uci_match.js [--opponent /usr/games/stockfish] [--option "Skill Level=0"]
//                     [--games 10] [--base 10] [--inc 0.1] [--talvo ../../build/talvo] [--pgn out.pgn]
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { Chess } = require('chess.js');
const { chessResult } = require('./match.js');

function parseArgs(argv) {
  const args = { talvo: path.resolve(__dirname, '../../build/talvo'), opponent: '/usr/games/stockfish',
    options: [], games: 10, base: 10, inc: 0.1, pgn: '', maxPlies: 400 };
  for (let i = 2; i < argv.length; i++) {
    const key = argv[i].replace(/^--/, '');
    const value = argv[++i];
    if (key === 'option') args.options.push(value);
    else if (['games', 'base', 'inc'].includes(key)) args[key] = Number(value);
    else args[key] = value;
  }
  return args;
}

// One engine process speaking UCI.
class Engine {
  constructor(name, command, cwd) {
    this.name = name;
    this.lines = [];
    this.waiters = [];
    this.exited = false;
    this.proc = spawn(command, [], { cwd, stdio: ['pipe', 'pipe', 'ignore'] });
    this.proc.on('error', (e) => { console.error(`cannot start ${command}: ${e.message}`); process.exit(2); });
    this.proc.on('exit', () => { this.exited = true; this.wake(); });
    this.proc.stdin.on('error', () => {});
    let pending = '';
    this.proc.stdout.on('data', (chunk) => {
      pending += chunk.toString();
      let at;
      while ((at = pending.indexOf('\n')) >= 0) {
        this.lines.push(pending.slice(0, at).replace(/\r$/, ''));
        pending = pending.slice(at + 1);
        this.wake();
      }
    });
  }
  wake() { const w = this.waiters; this.waiters = []; for (const f of w) f(); }
  send(line) { if (!this.exited) this.proc.stdin.write(line + '\n'); }
  async waitFor(test, timeoutMs) {
    const deadline = Date.now() + timeoutMs;
    for (;;) {
      while (this.lines.length) { const line = this.lines.shift(); if (test(line)) return line; }
      if (this.exited) return null;
      const left = deadline - Date.now();
      if (left <= 0) return null;
      await new Promise((resolve) => { const t = setTimeout(resolve, left); this.waiters.push(() => { clearTimeout(t); resolve(); }); });
    }
  }
  async start(options) {
    this.send('uci');
    if (!(await this.waitFor((l) => l === 'uciok', 5000))) return false;
    for (const o of options) { const [name, value] = o.split('='); this.send(`setoption name ${name} value ${value}`); }
    this.send('ucinewgame');
    this.send('isready');
    return (await this.waitFor((l) => l === 'readyok', 5000)) !== null;
  }
  stop() { this.send('quit'); setTimeout(() => { if (!this.exited) this.proc.kill('SIGKILL'); }, 500); }
}

async function playGame(args, talvoWhite, workDir) {
  const talvo = new Engine('Talvo', args.talvo, workDir);
  const other = new Engine(path.basename(args.opponent), args.opponent, workDir);
  const engines = talvoWhite ? { w: talvo, b: other } : { w: other, b: talvo };
  if (!(await talvo.start([]))) return { result: talvoWhite ? '0-1' : '1-0', reason: 'Talvo did not start', flaw: 'crash', talvoFault: true };
  await other.start(args.options);
  const chess = new Chess();
  const moves = [];
  const clock = { w: args.base * 1000, b: args.base * 1000 };
  const incMs = Math.round(args.inc * 1000);
  let outcome = null;
  while (!outcome) {
    const side = chess.turn(), opp = side === 'w' ? 'b' : 'w', mover = engines[side];
    const winner = opp === 'w' ? '1-0' : '0-1';
    mover.send('position startpos' + (moves.length ? ' moves ' + moves.join(' ') : ''));
    mover.send(`go wtime ${Math.max(0, Math.round(clock.w))} btime ${Math.max(0, Math.round(clock.b))} winc ${incMs} binc ${incMs}`);
    const started = Date.now();
    const line = await mover.waitFor((l) => l.startsWith('bestmove'), clock[side] + 5000);
    const elapsed = Date.now() - started;
    const fault = (flaw, reason) => ({ result: winner, reason, flaw, talvoFault: mover === talvo });
    if (line === null) { outcome = fault(mover.exited ? 'crash' : 'time', `${mover.name} ${mover.exited ? 'crashed' : 'hangs'}`); break; }
    clock[side] -= elapsed;
    if (clock[side] < 0) { outcome = fault('time', `${mover.name} loses on time`); break; }
    clock[side] += incMs;
    const text = line.split(/\s+/)[1] || '';
    const m = /^([a-h][1-8])([a-h][1-8])([qrbn]?)$/.exec(text);
    let played = null;
    try { if (m) played = chess.move({ from: m[1], to: m[2], promotion: m[3] || undefined }); } catch (e) { played = null; }
    if (!played) { outcome = fault('illegal', `${mover.name} plays illegal ${text}`); break; }
    moves.push(text);
    const over = chessResult(chess);
    if (over) outcome = { result: over[0], reason: over[1], flaw: '' };
    else if (moves.length >= args.maxPlies) outcome = { result: '1/2-1/2', reason: 'move limit', flaw: '' };
  }
  talvo.stop();
  other.stop();
  chess.header('White', engines.w.name, 'Black', engines.b.name, 'Result', outcome.result, 'Termination', outcome.reason);
  outcome.pgn = chess.pgn();
  outcome.plies = moves.length;
  await new Promise((r) => setTimeout(r, 100));
  return outcome;
}

async function main() {
  const args = parseArgs(process.argv);
  args.talvo = path.resolve(args.talvo);
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'talvo-uci-match-'));
  const tally = { win: 0, draw: 0, loss: 0 };
  const flaws = { talvo: { illegal: 0, time: 0, crash: 0 }, opponent: { illegal: 0, time: 0, crash: 0 } };
  const pgns = [];
  console.log(`Talvo (UCI) vs ${args.opponent} ${args.options.join(' ')}: ${args.games} games at ${args.base}s + ${args.inc}s`);
  for (let g = 0; g < args.games; g++) {
    const talvoWhite = g % 2 === 0;
    const o = await playGame(args, talvoWhite, workDir);
    const score = o.result === '1/2-1/2' ? 0.5 : (o.result === '1-0') === talvoWhite ? 1 : 0;
    if (score === 1) tally.win++; else if (score === 0) tally.loss++; else tally.draw++;
    if (o.flaw) flaws[o.talvoFault ? 'talvo' : 'opponent'][o.flaw]++;
    pgns.push(o.pgn);
    console.log(`game ${g + 1}: Talvo ${talvoWhite ? 'White' : 'Black'}  ${o.result}  ${o.reason}  (${o.plies} plies)`);
  }
  if (args.pgn) fs.writeFileSync(args.pgn, pgns.join('\n\n') + '\n');
  console.log(`Talvo: +${tally.win} =${tally.draw} -${tally.loss}`);
  console.log(`Talvo: illegal moves ${flaws.talvo.illegal}, time forfeits ${flaws.talvo.time}, crashes ${flaws.talvo.crash}`);
  console.log(`Opponent: illegal moves ${flaws.opponent.illegal}, time forfeits ${flaws.opponent.time}, crashes ${flaws.opponent.crash}`);
  fs.rmSync(workDir, { recursive: true, force: true });
  process.exit(flaws.talvo.illegal + flaws.talvo.time + flaws.talvo.crash ? 1 : 0);
}

main();
