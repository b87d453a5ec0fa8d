#!/usr/bin/env node
// A small xboard match runner: Talvo against another xboard engine, every move
// checked with chess.js, the clocks kept here (no adjudication but the rules of
// chess). Prints one line per game and a summary from Talvo's side.
//
//   node match.js --opponent /usr/games/fairymax [--games 20] [--base 10] [--inc 0.1]
//                 [--talvo ../../build/talvo] [--ponder] [--pgn out.pgn] [--log-dir DIR]
//
// Each game starts both engines afresh; colours alternate. A move that arrives
// after the mover's clock ran out loses on time, exactly as xboard's -autoflag.
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { Chess } = require('chess.js');

function parseArgs(argv) {
  const args = {
    talvo: path.resolve(__dirname, '../../build/talvo'),
    opponent: '/usr/games/fairymax',
    games: 20,
    base: 10,
    inc: 0.1,
    ponder: false,
    pgn: '',
    logDir: '',
    maxPlies: 500,
  };
  for (let i = 2; i < argv.length; i++) {
    const key = argv[i].replace(/^--/, '');
    if (key === 'ponder') { args.ponder = true; continue; }
    const value = argv[++i];
    if (key === 'games' || key === 'base' || key === 'inc' || key === 'max-plies') args[key === 'max-plies' ? 'maxPlies' : key] = Number(value);
    else if (key === 'log-dir') args.logDir = value;
    else args[key] = value;
  }
  return args;
}

// One engine process speaking xboard on its standard input and output.
class Engine {
  constructor(name, commandLine, cwd) {
    const [cmd, ...cmdArgs] = commandLine.split(/\s+/).filter(Boolean);
    this.name = name;
    this.lines = [];
    this.waiters = [];
    this.exited = false;
    this.transcript = [];
    this.proc = spawn(cmd, cmdArgs, { cwd, stdio: ['pipe', 'pipe', 'ignore'] });
    this.proc.on('error', (e) => {
      // A program that cannot be started is no crash of the engine: stop the match.
      console.error(`cannot start ${commandLine}: ${e.message}`);
      process.exit(2);
    });
    this.proc.on('exit', () => this.onExit());
    this.proc.stdin.on('error', () => {});
    let pending = '';
    this.proc.stdout.on('data', (chunk) => {
      pending += chunk.toString();
      let at;
      while ((at = pending.indexOf('\n')) >= 0) {
        const line = pending.slice(0, at).replace(/\r$/, '');
        pending = pending.slice(at + 1);
        this.transcript.push('< ' + line);
        this.lines.push(line);
        this.wake();
      }
    });
  }
  onExit() {
    this.exited = true;
    this.wake();
  }
  wake() {
    const waiters = this.waiters;
    this.waiters = [];
    for (const w of waiters) w();
  }
  send(line) {
    this.transcript.push('> ' + line);
    if (!this.exited) this.proc.stdin.write(line + '\n');
  }
  // The first line that satisfies test, or null on timeout or exit.
  async waitFor(test, timeoutMs) {
    const deadline = Date.now() + timeoutMs;
    for (;;) {
      while (this.lines.length) {
        const line = this.lines.shift();
        if (test(line)) return line;
      }
      if (this.exited) return null;
      const left = deadline - Date.now();
      if (left <= 0) return null;
      await new Promise((resolve) => {
        const timer = setTimeout(resolve, left);
        this.waiters.push(() => { clearTimeout(timer); resolve(); });
      });
    }
  }
  async start(ponder) {
    this.send('xboard');
    this.send('protover 2');
    // Engines that announce "done=1" are ready then; others get a second.
    await this.waitFor((l) => /feature.*done=1/.test(l), 1000);
    this.send('new');
    this.send('random');
    this.send(ponder ? 'hard' : 'easy');
  }
  stop() {
    this.send('quit');
    setTimeout(() => { if (!this.exited) this.proc.kill('SIGKILL'); }, 500);
  }
}

const centiseconds = (ms) => Math.max(0, Math.round(ms / 10));

function levelCommand(base, inc) {
  const minutes = Math.floor(base / 60), seconds = Math.round(base % 60);
  return `level 0 ${minutes}:${String(seconds).padStart(2, '0')} ${inc}`;
}

function chessResult(chess) {
  if (chess.isCheckmate()) return chess.turn() === 'w' ? ['0-1', 'mate'] : ['1-0', 'mate'];
  if (chess.isStalemate()) return ['1/2-1/2', 'stalemate'];
  if (chess.isInsufficientMaterial()) return ['1/2-1/2', 'insufficient material'];
  if (chess.isThreefoldRepetition()) return ['1/2-1/2', 'repetition'];
  if (chess.isDrawByFiftyMoves()) return ['1/2-1/2', 'fifty moves'];
  return null;
}

// Plays one game; returns { result, reason, loser, flaw } with flaw one of
// 'illegal', 'time', 'crash' (charged to loser) or ''.
async function playGame(args, talvoWhite, workDir) {
  const talvo = new Engine('Talvo', args.talvo, workDir);
  const other = new Engine(path.basename(args.opponent.split(/\s+/)[0]), args.opponent, workDir);
  const engines = talvoWhite ? { w: talvo, b: other } : { w: other, b: talvo };
  const chess = new Chess();
  const clock = { w: args.base * 1000, b: args.base * 1000 };
  const incMs = args.inc * 1000;
  let outcome = null;
  let claim = '';

  await talvo.start(args.ponder);
  await other.start(false);
  for (const e of [talvo, other]) e.send(levelCommand(args.base, args.inc));
  engines.w.send(`time ${centiseconds(clock.w)}`);
  engines.w.send(`otim ${centiseconds(clock.b)}`);
  engines.w.send('go');

  while (!outcome) {
    const side = chess.turn(), opp = side === 'w' ? 'b' : 'w';
    const mover = engines[side];
    const started = Date.now();
    // Grace beyond the clock only to tell a flag from a hang.
    const line = await mover.waitFor((l) => /^move\s/.test(l) || /^resign/.test(l) ||
        /^(1-0|0-1|1\/2-1\/2)\s/.test(l) || /^Illegal move/.test(l), clock[side] + 5000);
    const elapsed = Date.now() - started;
    const winner = opp === 'w' ? '1-0' : '0-1';
    if (line === null) {
      outcome = mover.exited ? { result: winner, reason: `${mover.name} crashed`, loser: mover, flaw: 'crash' }
                             : { result: winner, reason: `${mover.name} hangs`, loser: mover, flaw: 'time' };
      break;
    }
    if (/^Illegal move/.test(line)) {
      outcome = { result: side === 'w' ? '0-1' : '1-0', reason: `${mover.name} refused ${line}`, loser: engines[opp], flaw: 'illegal' };
      break;
    }
    if (/^resign/.test(line)) {
      outcome = { result: winner, reason: `${mover.name} resigns`, loser: mover, flaw: '' };
      break;
    }
    if (/^(1-0|0-1|1\/2-1\/2)\s/.test(line)) {
      // A claim without a move: right only when the position says so.
      const truth = chessResult(chess);
      if (truth && line.startsWith(truth[0])) outcome = { result: truth[0], reason: truth[1], loser: null, flaw: '' };
      else claim = line;
      if (outcome) break;
      continue;
    }
    clock[side] -= elapsed;
    if (clock[side] < 0) {
      outcome = { result: winner, reason: `${mover.name} loses on time`, loser: mover, flaw: 'time' };
      break;
    }
    clock[side] += incMs;
    const text = line.split(/\s+/)[1];
    const m = /^([a-h][1-8])([a-h][1-8])([qrbnQRBN]?)$/.exec(text || '');
    let played = null;
    try {
      // Coordinates as the protocol wants them; some engines castle as "O-O".
      if (m) played = chess.move({ from: m[1], to: m[2], promotion: m[3] ? m[3].toLowerCase() : undefined });
      else if (/^O-O(-O)?$/.test(text)) played = chess.move(text);
    } catch (e) {
      played = null;
    }
    if (!played) {
      outcome = { result: winner, reason: `${mover.name} plays illegal ${text}`, loser: mover, flaw: 'illegal' };
      break;
    }
    const over = chessResult(chess);
    if (over) { outcome = { result: over[0], reason: over[1], loser: null, flaw: '' }; break; }
    if (chess.history().length >= args.maxPlies) { outcome = { result: '1/2-1/2', reason: 'move limit', loser: null, flaw: '' }; break; }
    const next = engines[opp];
    next.send(`time ${centiseconds(clock[opp])}`);
    next.send(`otim ${centiseconds(clock[side])}`);
    next.send(played.from + played.to + (played.promotion || ''));
  }

  for (const e of [talvo, other]) {
    e.send(`result ${outcome.result} {${outcome.reason}}`);
    e.stop();
  }
  chess.header('White', engines.w.name, 'Black', engines.b.name, 'Result', outcome.result,
    'Termination', outcome.reason + (claim ? `; claim ${claim}` : ''));
  outcome.pgn = chess.pgn();
  outcome.plies = chess.history().length;
  outcome.claim = claim;
  outcome.transcript = talvo.transcript;
  outcome.talvo = talvo;
  await new Promise((r) => setTimeout(r, 100));
  return outcome;
}

async function main() {
  const args = parseArgs(process.argv);
  // The engines run in a folder of their own: a relative path would miss.
  args.talvo = path.resolve(args.talvo);
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'talvo-match-'));
  const tally = { win: 0, draw: 0, loss: 0 };
  const flaws = { talvo: { illegal: 0, time: 0, crash: 0 }, opponent: { illegal: 0, time: 0, crash: 0 } };
  let falseClaims = 0;
  const pgns = [];
  console.log(`Talvo vs ${args.opponent}: ${args.games} games at ${args.base}s + ${args.inc}s${args.ponder ? ', Talvo pondering' : ''}`);
  for (let g = 0; g < args.games; g++) {
    const talvoWhite = g % 2 === 0;
    const o = await playGame(args, talvoWhite, workDir);
    const talvoScore = o.result === '1/2-1/2' ? 0.5 : (o.result === '1-0') === talvoWhite ? 1 : 0;
    if (talvoScore === 1) tally.win++; else if (talvoScore === 0) tally.loss++; else tally.draw++;
    if (o.flaw) flaws[o.loser === o.talvo ? 'talvo' : 'opponent'][o.flaw]++;
    if (o.claim && o.talvo.transcript.includes('< ' + o.claim)) falseClaims++;
    pgns.push(o.pgn);
    console.log(`game ${g + 1}: Talvo ${talvoWhite ? 'White' : 'Black'}  ${o.result}  ${o.reason}  (${o.plies} plies)${o.claim ? '  claim: ' + o.claim : ''}`);
    if (o.flaw && o.loser === o.talvo && args.logDir) {
      const file = path.join(args.logDir, `talvo-game-${g + 1}.txt`);
      fs.writeFileSync(file, o.transcript.join('\n') + '\n' + o.pgn + '\n');
      console.log(`  transcript: ${file}`);
    }
  }
  if (args.pgn) fs.writeFileSync(args.pgn, pgns.join('\n\n') + '\n');
  console.log(`Talvo: +${tally.win} =${tally.draw} -${tally.loss}`);
  console.log(`Talvo: illegal moves ${flaws.talvo.illegal}, time forfeits ${flaws.talvo.time}, crashes ${flaws.talvo.crash}, unproven result claims ${falseClaims}`);
  console.log(`Opponent: illegal moves ${flaws.opponent.illegal}, time forfeits ${flaws.opponent.time}, crashes ${flaws.opponent.crash}`);
  fs.rmSync(workDir, { recursive: true, force: true });
  const bad = flaws.talvo.illegal + flaws.talvo.time + flaws.talvo.crash;
  process.exit(bad ? 1 : 0);
}

// The soak runner reuses the engine wrapper and the rules of the game.
module.exports = { Engine, levelCommand, chessResult, centiseconds };
if (require.main === module) main();
