// What vimbrel-capture says once the records are in: how many came and
// how, what it wrote and how to open it, and the table of functions with
// the frames and the problems of the dump.

import { resolve } from 'node:path';
import { formatFrames, formatFunctionTable, formatProblems } from './report.js';
import { EXPORT_RECORDS } from '../model/dump-tables.js';

// The table's rows, unless --all.
const TABLE_ROWS = 25;

/**
 * Says (`say(text)`) what came of the capture: `analysis` is the dump's
 * (DumpFile's finish()), `dump` the DumpFile, `waited` the seconds from
 * the last F12 to the save, `frameRate` the movie's. Resolves to the
 * table, for standard output.
 */
export function captureSummary({ options, analysis, dump, waited, frameRate, say }) {
  say(`${analysis.records} records` + (dump.pieces ? `, handed over in ${dump.pieces} pieces and the save` : '') +
      `, which came ${waited.toFixed(2)} s after the last F12`);
  if (analysis.records === 0) {
    say('The save held no records: no traced function ran while the tracer collected. Give the movie time ' +
        '(--seconds) or play it yourself on the viewer\'s page (cd viewer && npm start), where it gets your ' +
        'clicks and keys' + (options.events ? '.' : '; without --no-events, code in frame scripts and in button ' +
        'and clip handlers is traced too.'));
  }
  const dumpPath = resolve(options.out, 'dump.txt');
  say(`wrote ${dumpPath}` + (dump.traceSkipped ? '' : `, ${resolve(options.out, 'trace.json')}`) +
      ` and ${resolve(options.out, 'output.txt')} (${dump.lines} ${dump.lines === 1 ? 'line' : 'lines'} ` +
      'the movie printed with trace())');
  say('open dump.txt on the viewer\'s page (cd viewer && npm start, then choose it on http://127.0.0.1:8080/), ' +
      `or read it with vimbrel-report ${dumpPath} --tree` +
      (analysis.frames && frameRate ? ` --frame-rate ${frameRate}` : '') +
      (dump.traceSkipped ? '' : '; trace.json opens in Perfetto and speedscope'));
  if (dump.traceSkipped) {
    say(`trace.json is not written: ${analysis.records} records are more than the ${EXPORT_RECORDS} that Chrome ` +
        'trace readers open (Perfetto\'s UI and chrome://tracing fail on JSON that large); give --chrome to ' +
        'write it anyway.');
  }
  return formatFunctionTable(analysis.stats, options.all ? Infinity : TABLE_ROWS) +
         (analysis.frames ? `\n${formatFrames(analysis.frames, frameRate)}` : '') +
         formatProblems(analysis);
}
