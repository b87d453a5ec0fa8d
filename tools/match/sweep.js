#!/usr/bin/env node
// One time control of the sweep: Talvo (xboard or UCI) against an xboard engine,
// games from book openings in pairs (each opening once with either colour), every
// move checked with chess.js and both clocks kept here. Prints a line per game,
// a summary from Talvo's side, and last a line "SUMMARY {json}" for sweep.sh.
//
//   node sweep.js [--protocol xboard|uci] [--opponent /usr/games/fairymax] [--games 10]
//                 (--base S [--inc S] [--mps N] [--sd D] | --st S | --movetime MS)
//                 [--ini "TIME_RESERVE 200"]... [--uci-option "Move Overhead=30"]...
//                 [--talvo ../../build/talvo] [--name LABEL] [--pgn games.pgn] [--log-dir DIR]
//                 [--max-plies 300] [--openings ../../books/openings.pgn] [--opening-plies 8]
//
// Clocks: each side starts with the base and gets the increment after every move;
// with a base of 0 the first increment is credited before the first move, or the
// first move could never be in time. With --mps the base comes again after every
// N moves of that side, counted from the start of the game (book plies included),
// as the engines count them. A move that arrives after its side's clock ran out
// loses on time (-autoflag).
//
// Fixed time per move (--st, --movetime) has no clock to lose on: a move slower
// than the limit plus 0.1 s is counted and printed as over time, and the game goes
// on. Talvo under --movetime gets "go movetime MS"; xboard's "st" takes whole
// seconds only, so the xboard opponent gets the nearest fair control instead,
// "level 0 0 MS/1000" (nothing but an increment of the same size), under a clock.
// In UCI mode --st S is the same as --movetime S*1000.
//
// Talvo's depth for a move is that of its last thinking line (xboard) or
// "info depth" line (UCI) before the move; moves without one count in no average.
// In xboard mode Talvo posts only after the first second, unless "fritz" asks for
// a line at every change of the first two moves of the best line: Talvo gets it,
// so the depth of xboard moves is that of the last change, a lower bound. (Fritz
// mode also keeps Talvo from resigning, which changes no time decision.)
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { Chess } = require('chess.js');
const { Engine, chessResult, centiseconds } = require('./match.js');

const OverTimeGraceMs = 100;
const HangGraceMs = 5000;

function usage(message) {
  console.error(`sweep.js: ${message}`);
  process.exit(2);
}

function parseArgs(argv) {
  const args = {
    protocol: 'xboard',
    talvo: path.resolve(__dirname, '../../build/talvo'),
    opponent: '/usr/games/fairymax',
    games: 10,
    base: null, inc: 0, mps: 0, st: 0, sd: 0, movetime: 0,
    ini: [], uciOptions: [],
    name: '', pgn: '', logDir: '',
    maxPlies: 300,
    openings: path.resolve(__dirname, '../../books/openings.pgn'),
    openingPlies: 8,
  };
  const numeric = { games: 'games', base: 'base', inc: 'inc', mps: 'mps', st: 'st', sd: 'sd', movetime: 'movetime',
    'max-plies': 'maxPlies', 'opening-plies': 'openingPlies' };
  const text = { protocol: 'protocol', talvo: 'talvo', opponent: 'opponent', name: 'name', pgn: 'pgn',
    'log-dir': 'logDir', openings: 'openings' };
  for (let i = 2; i < argv.length; i++) {
    const key = argv[i].replace(/^--/, '');
    if (i + 1 >= argv.length) usage(`${argv[i]} needs a value`);
    const value = argv[++i];
    if (key in numeric) {
      args[numeric[key]] = Number(value);
      if (!Number.isFinite(args[numeric[key]]) || args[numeric[key]] < 0) usage(`bad number for --${key}: ${value}`);
    } else if (key in text) args[text[key]] = value;
    else if (key === 'ini') args.ini.push(value);
    else if (key === 'uci-option') args.uciOptions.push(value);
    else usage(`unknown option ${argv[i - 1]}`);
  }
  if (!['xboard', 'uci'].includes(args.protocol)) usage('--protocol is xboard or uci');
  if (args.protocol === 'uci' && args.st) { args.movetime = args.st * 1000; args.st = 0; }
  if (args.protocol === 'xboard' && args.movetime) usage('--movetime is for UCI; in xboard use --st');
  const kinds = (args.base !== null) + (args.st > 0) + (args.movetime > 0);
  if (kinds !== 1) usage('give exactly one of --base, --st, --movetime');
  if (args.uciOptions.length && args.protocol !== 'uci') usage('--uci-option needs --protocol uci');
  return args;
}

// "level" as interfaces send it: whole minutes alone, else M:SS.
function levelCommand(mps, baseS, incS) {
  const base = baseS % 60 === 0 ? String(baseS / 60)
    : `${Math.floor(baseS / 60)}:${String(Math.round(baseS % 60)).padStart(2, '0')}`;
  return `level ${mps} ${base} ${incS}`;
}

// What one side plays under: a clock (base, increment, moves per session) or a
// fixed time per move. xboard lists the commands an xboard engine is given.
function controls(args) {
  const sd = args.sd ? [`sd ${args.sd}`] : [];
  if (args.movetime) {
    const incS = args.movetime / 1000;
    return {
      talvo: { fixedMs: args.movetime, depth: args.sd },
      opponent: { baseMs: 0, incMs: args.movetime, mps: 0, xboard: [levelCommand(0, 0, incS), ...sd] },
      text: `movetime ${args.movetime} ms (opponent: ${levelCommand(0, 0, incS)})`,
    };
  }
  if (args.st) {
    const side = { fixedMs: args.st * 1000, depth: args.sd, xboard: [`st ${args.st}`, ...sd] };
    return { talvo: side, opponent: side, text: `st ${args.st}` + (args.sd ? `, sd ${args.sd}` : '') };
  }
  const side = { baseMs: args.base * 1000, incMs: args.inc * 1000, mps: args.mps, depth: args.sd,
    xboard: [levelCommand(args.mps, args.base, args.inc), ...sd] };
  const text = (args.mps ? `${args.mps} moves in ${args.base} s` : `${args.base} s`) +
    (args.inc ? ` + ${args.inc} s` : '') + (args.sd ? `, sd ${args.sd}` : '');
  return { talvo: side, opponent: side, text };
}

// One side's clock as the runner keeps it.
class Clock {
  constructor(control) {
    this.control = control;
    this.fixed = control.fixedMs > 0;
    this.remaining = this.fixed ? control.fixedMs : control.baseMs + (control.baseMs === 0 ? control.incMs : 0);
  }
  beforeMove() {
    if (this.fixed) this.remaining = this.control.fixedMs;
  }
  // How long to wait for a move before calling the mover hung.
  patienceMs() {
    return Math.max(0, this.remaining) + HangGraceMs;
  }
  // Charges a move; movesMade counts this side's moves from the start of the game.
  // Returns the time left right after the move and whether it lost on time or was over time.
  afterMove(elapsed, movesMade) {
    this.remaining -= elapsed;
    const left = this.remaining;
    if (this.fixed) return { left, lost: false, over: elapsed > this.control.fixedMs + OverTimeGraceMs };
    if (left < 0) return { left, lost: true, over: false };
    this.remaining += this.control.incMs;
    if (this.control.mps && movesMade % this.control.mps === 0) this.remaining += this.control.baseMs;
    return { left, lost: false, over: false };
  }
}

// The first plies of successive games of a PGN file, each distinct position once.
function loadOpenings(file, plies) {
  const games = [];
  let current = null;
  for (const raw of fs.readFileSync(file, 'utf8').split('\n')) {
    const line = raw.trim();
    if (line.startsWith('%')) continue;
    const tag = /^\[(\w+)\s+"(.*)"\]$/.exec(line);
    if (tag) {
      if (!current || current.moves) { current = { name: '', moves: '' }; games.push(current); }
      if (tag[1] === 'Opening' || (tag[1] === 'Event' && !current.name)) current.name = tag[2];
      continue;
    }
    if (!line) continue;
    if (!current) { current = { name: '', moves: '' }; games.push(current); }
    current.moves += ' ' + line;
  }
  const openings = [];
  const seen = new Set();
  for (const game of games) {
    let text = game.moves.replace(/\{[^}]*\}/g, ' ').replace(/;[^\n]*/g, ' ');
    for (let before = ''; before !== text;) { before = text; text = text.replace(/\([^()]*\)/g, ' '); }
    const tokens = text.split(/\s+/).map((t) => t.replace(/^\d+\.+/, '')).filter((t) =>
      t && !/^\$\d+$/.test(t) && !/^(1-0|0-1|1\/2-1\/2|\*)$/.test(t));
    if (tokens.length < plies) continue;
    const chess = new Chess();
    try {
      for (const san of tokens.slice(0, plies)) chess.move(san);
    } catch (e) {
      console.error(`${file}: skipping "${game.name}": ${e.message}`);
      continue;
    }
    const fen = chess.fen();
    if (seen.has(fen)) continue;
    seen.add(fen);
    const moves = chess.history({ verbose: true }).map((m) => m.from + m.to + (m.promotion || ''));
    openings.push({ name: game.name, fen, moves });
  }
  return openings;
}

// Thinking lines: xboard "depth score centiseconds nodes pv" (a book move is
// "0 0 0 0 (e2e4 55%, ...)"), UCI "info ... depth D ...".
function thinkingDepth(protocol, line) {
  if (protocol === 'uci') {
    const m = /^info\b.*?(?:^|\s)depth\s+(\d+)/.exec(line);
    return m ? { depth: Number(m[1]), book: false } : null;
  }
  const m = /^\s*(-?\d+)\s+(-?\d+)\s+(\d+)\s+(\d+)(\s.*)?$/.exec(line);
  if (!m) return null;
  const rest = (m[5] || '').trim();
  if (rest.startsWith('(') || Number(m[1]) <= 0) return { depth: 0, book: true };
  return { depth: Number(m[1]), book: false };
}

// xboard set-up up to the opening position; the engine stays in force mode until it
// is told to go.
async function startXboard(engine, control, post, openingMoves) {
  engine.send('xboard');
  engine.send('protover 2');
  await engine.waitFor((l) => /feature.*done=1/.test(l), 1000);
  engine.send('new');
  if (post) {
    engine.send('post');
    engine.send('fritz');
  }
  engine.send('easy');
  for (const c of control.xboard) engine.send(c);
  engine.send('force');
  for (const m of openingMoves) engine.send(m);
  engine.inForce = true;
}

async function startUci(engine, options) {
  engine.send('uci');
  if (!(await engine.waitFor((l) => l.trim() === 'uciok', 5000))) return false;
  for (const o of options) {
    const at = o.indexOf('=');
    engine.send(at < 0 ? `setoption name ${o.trim()}` : `setoption name ${o.slice(0, at).trim()} value ${o.slice(at + 1).trim()}`);
  }
  engine.send('isready');
  if (!(await engine.waitFor((l) => l.trim() === 'readyok', 5000))) return false;
  engine.send('ucinewgame');
  return true;
}

async function waitExit(engine, ms) {
  const deadline = Date.now() + ms;
  while (!engine.exited && Date.now() < deadline) await new Promise((r) => setTimeout(r, 20));
}

// Plays one game. Returns { result, reason, loser ('talvo'|'opponent'|null), flaw,
// talvoMoves: [{ ms, depth, left, over }], opponentMoves: [{ ms, over }], ... }.
async function playGame(args, ctl, opening, talvoWhite, workDir, notes) {
  const uci = args.protocol === 'uci';
  const talvo = new Engine('Talvo', args.talvo, workDir);
  const other = new Engine(path.basename(args.opponent.split(/\s+/)[0]), args.opponent, workDir);
  talvo.role = 'talvo';
  other.role = 'opponent';
  const engines = talvoWhite ? { w: talvo, b: other } : { w: other, b: talvo };
  const clocks = talvoWhite ? { w: new Clock(ctl.talvo), b: new Clock(ctl.opponent) }
                            : { w: new Clock(ctl.opponent), b: new Clock(ctl.talvo) };
  const chess = new Chess();
  for (const m of opening.moves) chess.move({ from: m.slice(0, 2), to: m.slice(2, 4), promotion: m[4] });
  const uciMoves = [];
  const talvoMoves = [], opponentMoves = [];
  let talvoBookLines = 0;
  let outcome = null;
  let claim = '';

  if (uci) {
    if (!(await startUci(talvo, args.uciOptions))) {
      outcome = { result: talvoWhite ? '0-1' : '1-0', reason: `Talvo ${talvo.exited ? 'crashed' : 'hangs'} at start-up`,
                  loser: 'talvo', flaw: talvo.exited ? 'crash' : 'time' };
    }
  } else {
    await startXboard(talvo, ctl.talvo, true, opening.moves);
  }
  await startXboard(other, ctl.opponent, false, opening.moves);

  // Tells an xboard engine whose turn it is now the clocks and, if any, the move just played.
  const tellXboard = (engine, side, move) => {
    const opp = side === 'w' ? 'b' : 'w';
    engine.send(`time ${centiseconds(clocks[side].remaining)}`);
    engine.send(`otim ${centiseconds(clocks[opp].remaining)}`);
    if (move) { engine.send(move); engine.lastMoveSent = move; }
    if (engine.inForce || !move) { engine.send('go'); engine.inForce = false; }
  };
  const movesOf = (side) => chess.history({ verbose: true }).filter((m) => m.color === side).length;
  const askUci = (side) => {
    const start = uciMoves.length ? ` moves ${uciMoves.join(' ')}` : '';
    talvo.send(`position fen ${opening.fen}${start}`);
    const c = ctl.talvo;
    const depth = c.depth ? ` depth ${c.depth}` : '';
    if (c.fixedMs) { talvo.send(`go movetime ${c.fixedMs}${depth}`); return; }
    const ms = (s) => Math.max(0, Math.round(clocks[s].remaining));
    let go = `go wtime ${ms('w')} btime ${ms('b')} winc ${Math.round(clocks.w.control.incMs || 0)} binc ${Math.round(clocks.b.control.incMs || 0)}`;
    if (c.mps) go += ` movestogo ${c.mps - (movesOf(side) % c.mps)}`;
    talvo.send(go + depth);
  };

  let lastMove = '';
  let started = null, depth = null;
  const isAnswer = (mover, moverUci) => (l) => {
    if (mover === talvo) {
      const t = thinkingDepth(args.protocol, l);
      if (t && t.book) talvoBookLines++;
      else if (t) depth = t.depth;
    }
    if (moverUci) return /^bestmove\s/.test(l);
    const refused = /^Illegal move(?:\s*\([^)]*\))?:?\s*(\S*)/.exec(l);
    if (refused && refused[1] && refused[1] !== mover.lastMoveSent) {
      // A set-up command it does not know (phalanx answers "sd" so), not a move.
      notes.add(`${mover.name}: ${l}`);
      return false;
    }
    return /^move\s/.test(l) || /^resign/.test(l) || /^(1-0|0-1|1\/2-1\/2)\s/.test(l) || refused;
  };
  while (!outcome) {
    const side = chess.turn(), opp = side === 'w' ? 'b' : 'w';
    const mover = engines[side], clock = clocks[side];
    const winner = opp === 'w' ? '1-0' : '0-1';
    const moverUci = uci && mover === talvo;
    if (started === null) {
      clock.beforeMove();
      if (moverUci) askUci(side);
      else tellXboard(mover, side, lastMove);
      started = Date.now();
      depth = null;
    }
    const line = await mover.waitFor(isAnswer(mover, moverUci), clock.patienceMs() - (Date.now() - started));
    const elapsed = Date.now() - started;
    if (line === null) {
      outcome = { result: winner, reason: `${mover.name} ${mover.exited ? 'crashed' : 'hangs'}`, loser: mover.role,
                  flaw: mover.exited ? 'crash' : 'time' };
      break;
    }
    if (/^Illegal move/.test(line)) {
      // The mover refuses the move it was just given: the other side's fault.
      outcome = { result: side === 'w' ? '0-1' : '1-0', reason: `${mover.name} refused ${line}`,
                  loser: engines[opp].role, flaw: 'illegal' };
      break;
    }
    if (/^resign/.test(line)) {
      outcome = { result: winner, reason: `${mover.name} resigns`, loser: mover.role, flaw: '' };
      break;
    }
    if (/^(1-0|0-1|1\/2-1\/2)\s/.test(line)) {
      // A claim without a move: right only when the position says so.
      const truth = chessResult(chess);
      if (truth && line.startsWith(truth[0])) { outcome = { result: truth[0], reason: truth[1], loser: null, flaw: '' }; break; }
      // Still its turn, on the same clock.
      claim = `${mover.name}: ${line}`;
      continue;
    }
    started = null;
    const charge = clock.afterMove(elapsed, movesOf(side) + 1);
    const record = mover === talvo ? { ms: elapsed, depth, left: charge.left, over: charge.over } : { ms: elapsed, over: charge.over };
    (mover === talvo ? talvoMoves : opponentMoves).push(record);
    if (charge.over) {
      console.log(`  over time: ${mover.name} took ${elapsed} ms for move ${chess.moveNumber()}${side === 'w' ? '.' : '...'} (limit ${clock.control.fixedMs} ms)`);
    }
    if (charge.lost) {
      outcome = { result: winner, reason: `${mover.name} loses on time`, loser: mover.role, flaw: 'time' };
      break;
    }
    const text = line.split(/\s+/)[1] || '';
    const m = /^([a-h][1-8])([a-h][1-8])([qrbnQRBN]?)$/.exec(text);
    let played = null;
    try {
      // Coordinates as the protocols want them; some xboard engines castle as "O-O".
      if (m) played = chess.move({ from: m[1], to: m[2], promotion: m[3] ? m[3].toLowerCase() : undefined });
      else if (!moverUci && /^O-O(-O)?$/.test(text)) played = chess.move(text);
    } catch (e) {
      played = null;
    }
    if (!played) {
      outcome = { result: winner, reason: `${mover.name} plays illegal ${text}`, loser: mover.role, flaw: 'illegal' };
      break;
    }
    lastMove = played.from + played.to + (played.promotion || '');
    uciMoves.push(lastMove);
    const over = chessResult(chess);
    if (over) { outcome = { result: over[0], reason: over[1], loser: null, flaw: '' }; break; }
    if (chess.history().length >= args.maxPlies) { outcome = { result: '1/2-1/2', reason: 'move limit', loser: null, flaw: '' }; break; }
  }

  for (const e of [talvo, other]) {
    if (!(uci && e === talvo)) e.send(`result ${outcome.result} {${outcome.reason}}`);
    e.stop();
  }
  // A clean quit exits with status 0; anything else (a sanitizer's report at exit,
  // say) is a fault of its own, though it does not change the game.
  await waitExit(talvo, 1000);
  const code = talvo.proc.exitCode, signal = talvo.proc.signalCode;
  outcome.talvoBadExit = outcome.flaw === 'crash' && outcome.loser === 'talvo' ? ''
    : code !== null && code !== 0 ? `exit status ${code}` : signal && signal !== 'SIGKILL' ? `signal ${signal}` : '';
  await waitExit(other, 600);

  chess.header('Event', args.name || 'sweep', 'White', engines.w.name, 'Black', engines.b.name,
    'Result', outcome.result, 'Opening', opening.name, 'Termination', outcome.reason + (claim ? `; claim ${claim}` : ''));
  outcome.pgn = chess.pgn();
  outcome.plies = chess.history().length;
  outcome.claim = claim;
  outcome.transcript = talvo.transcript;
  outcome.talvoMoves = talvoMoves;
  outcome.opponentMoves = opponentMoves;
  outcome.talvoBookLines = talvoBookLines;
  return outcome;
}

const round1 = (x) => (x === null ? null : Math.round(x * 10) / 10);

async function main() {
  const args = parseArgs(process.argv);
  // The engines run in a folder of their own: a relative path would miss.
  args.talvo = path.resolve(args.talvo);
  if (args.logDir) {
    args.logDir = path.resolve(args.logDir);
    fs.mkdirSync(args.logDir, { recursive: true });
    // A sanitizer build reports on its standard error, which the runner drops.
    for (const v of ['ASAN_OPTIONS', 'UBSAN_OPTIONS']) {
      const prefix = v === 'ASAN_OPTIONS' ? 'asan' : 'ubsan';
      if (!/log_path=/.test(process.env[v] || '')) {
        process.env[v] = [process.env[v], `log_path=${path.join(args.logDir, prefix)}`].filter(Boolean).join(':');
      }
    }
  }
  const ctl = controls(args);
  const openings = loadOpenings(args.openings, args.openingPlies);
  if (!openings.length) usage(`no openings of ${args.openingPlies} plies in ${args.openings}`);
  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'talvo-sweep-'));
  // Talvo searches every move: no Talvo.book here. Its settings, if any.
  if (args.ini.length) fs.writeFileSync(path.join(workDir, 'Talvo.ini'), args.ini.join('\n') + '\n');

  const label = args.name || `${args.protocol} ${ctl.text}`;
  const tally = { win: 0, draw: 0, loss: 0 };
  const flaws = { talvo: { illegal: 0, time: 0, crash: 0 }, opponent: { illegal: 0, time: 0, crash: 0 } };
  let talvoBadExits = 0, talvoBookLines = 0, falseClaims = 0;
  const allTalvo = [], allOpponent = [];
  const pgns = [];
  const notes = new Set(), told = new Set();
  console.log(`${label}: Talvo (${args.protocol}) vs ${args.opponent}, ${args.games} games at ${ctl.text}` +
    (args.ini.length ? `; Talvo.ini: ${args.ini.join(' | ')}` : '') +
    (args.uciOptions.length ? `; options: ${args.uciOptions.join(', ')}` : ''));
  for (let g = 0; g < args.games; g++) {
    const opening = openings[Math.floor(g / 2) % openings.length];
    const talvoWhite = g % 2 === 0;
    const o = await playGame(args, ctl, opening, talvoWhite, workDir, notes);
    const score = o.result === '1/2-1/2' ? 0.5 : (o.result === '1-0') === talvoWhite ? 1 : 0;
    if (score === 1) tally.win++; else if (score === 0) tally.loss++; else tally.draw++;
    if (o.flaw) flaws[o.loser][o.flaw]++;
    if (o.talvoBadExit) talvoBadExits++;
    if (o.claim.startsWith('Talvo:')) falseClaims++;
    talvoBookLines += o.talvoBookLines;
    allTalvo.push(...o.talvoMoves);
    allOpponent.push(...o.opponentMoves);
    pgns.push(o.pgn);

    const ms = o.talvoMoves.map((m) => m.ms);
    const depths = o.talvoMoves.filter((m) => m.depth !== null).map((m) => m.depth);
    const least = o.talvoMoves.length ? Math.min(...o.talvoMoves.map((m) => m.left)) : null;
    console.log(`game ${g + 1}: Talvo ${talvoWhite ? 'White' : 'Black'}  ${o.result}  ${o.reason}  (${o.plies} plies)  ` +
      `[${opening.name}]  Talvo ${ms.length ? Math.round(ms.reduce((a, b) => a + b, 0) / ms.length) : '-'} ms/move, ` +
      `depth ${depths.length ? round1(depths.reduce((a, b) => a + b, 0) / depths.length) : '-'}, least left ${least === null ? '-' : Math.round(least)} ms` +
      (o.claim ? `  claim ${o.claim}` : '') + (o.talvoBadExit ? `  Talvo quit with ${o.talvoBadExit}` : ''));
    for (const n of notes) if (!told.has(n)) { told.add(n); console.log(`  note: ${n}`); }
    const overTime = o.talvoMoves.some((m) => m.over);
    if ((o.loser === 'talvo' && o.flaw || o.talvoBadExit || overTime) && args.logDir) {
      const file = path.join(args.logDir, `${label}-${path.basename(args.opponent.split(/\s+/)[0])}-game-${g + 1}.txt`.replace(/[^\w.+-]+/g, '_'));
      fs.writeFileSync(file, o.transcript.join('\n') + '\n' + o.pgn + '\n');
      console.log(`  transcript: ${file}`);
    }
  }
  if (args.pgn) fs.writeFileSync(args.pgn, pgns.join('\n\n') + '\n');
  fs.rmSync(workDir, { recursive: true, force: true });

  const mean = (xs) => (xs.length ? xs.reduce((a, b) => a + b, 0) / xs.length : null);
  const depths = allTalvo.filter((m) => m.depth !== null).map((m) => m.depth);
  const summary = {
    name: label,
    run: process.env.SWEEP_RUN || '',
    protocol: args.protocol,
    control: ctl.text,
    opponent: args.opponent,
    talvo: args.talvo,
    ini: args.ini,
    uciOptions: args.uciOptions,
    games: args.games,
    wins: tally.win, draws: tally.draw, losses: tally.loss,
    scorePct: args.games ? round1(100 * (tally.win + tally.draw / 2) / args.games) : null,
    talvoTimeForfeits: flaws.talvo.time, talvoIllegal: flaws.talvo.illegal, talvoCrashes: flaws.talvo.crash,
    talvoBadExits,
    talvoOverTime: allTalvo.filter((m) => m.over).length,
    talvoFalseClaims: falseClaims,
    talvoBookLines,
    opponentTimeForfeits: flaws.opponent.time, opponentIllegal: flaws.opponent.illegal, opponentCrashes: flaws.opponent.crash,
    opponentOverTime: allOpponent.filter((m) => m.over).length,
    talvoMoves: allTalvo.length,
    talvoDepthMoves: depths.length,
    talvoAvgDepth: round1(mean(depths)),
    talvoAvgMs: round1(mean(allTalvo.map((m) => m.ms))),
    talvoMaxMs: allTalvo.length ? Math.max(...allTalvo.map((m) => m.ms)) : null,
    talvoMinClockLeftMs: allTalvo.length ? Math.round(Math.min(...allTalvo.map((m) => m.left))) : null,
    opponentMoves: allOpponent.length,
    opponentAvgMs: round1(mean(allOpponent.map((m) => m.ms))),
  };
  const s = summary;
  console.log(`Talvo: +${s.wins} =${s.draws} -${s.losses} (${s.scorePct}%)`);
  console.log(`Talvo: time forfeits ${s.talvoTimeForfeits}, illegal moves ${s.talvoIllegal}, crashes ${s.talvoCrashes}, ` +
    `bad exits ${s.talvoBadExits}, moves over time ${s.talvoOverTime}, unproven result claims ${s.talvoFalseClaims}`);
  console.log(`Talvo: ${s.talvoMoves} moves, ${s.talvoAvgMs} ms/move on average, longest ${s.talvoMaxMs} ms, ` +
    `least left on the clock ${s.talvoMinClockLeftMs} ms, depth ${s.talvoAvgDepth} on average (${s.talvoDepthMoves} moves with a depth)`);
  console.log(`Opponent: time forfeits ${s.opponentTimeForfeits}, illegal moves ${s.opponentIllegal}, crashes ${s.opponentCrashes}, ` +
    `moves over time ${s.opponentOverTime}; ${s.opponentMoves} moves, ${s.opponentAvgMs} ms/move on average`);
  console.log('SUMMARY ' + JSON.stringify(summary));
  process.exit(s.talvoTimeForfeits + s.talvoIllegal + s.talvoCrashes + s.talvoBadExits ? 1 : 0);
}

if (require.main === module) main();
