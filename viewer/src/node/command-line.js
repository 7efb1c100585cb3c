// The one reader of command lines, for the server, vimbrel-capture and
// vimbrel-report: options as `--name value` or `--name=value`, flags,
// options given more than once, and the words between them.

/** What is wrong with a command line: said with the tool's usage. */
export class CommandLineError extends Error {}

/**
 * Reads `argv` (the words after the command) by `options`, which maps each
 * option's name (`--seconds`) to { value: what it takes ('a number of
 * seconds'), absent for a flag; read(text): its value, undefined when the
 * text is none; problem(text): what to say then, else "--name takes
 * <value>"; multiple: each use adds to a list }. `-` is a word, and
 * everything after `--`. Returns { options: { '--name': value }, words };
 * throws a CommandLineError.
 */
export function readCommandLine(argv, options) {
  const values = {};
  const words = [];
  for (let i = 0; i < argv.length; i++) {
    const argument = argv[i];
    if (argument === '--') {
      words.push(...argv.slice(i + 1));
      break;
    }
    if (!argument.startsWith('-') || argument === '-') {
      words.push(argument);
      continue;
    }
    const equals = argument.indexOf('=');
    const name = equals >= 0 ? argument.slice(0, equals) : argument;
    const option = Object.hasOwn(options, name) ? options[name] : null;
    if (!option) throw new CommandLineError(`unknown option ${argument}`);
    let value = true;
    if (option.value) {
      let text;
      if (equals >= 0) text = argument.slice(equals + 1);
      else if (i + 1 < argv.length) text = argv[++i];
      else throw new CommandLineError(`${name} takes ${option.value}`);
      value = option.read ? option.read(text) : text;
      if (value === undefined) throw new CommandLineError(option.problem?.(text) ?? `${name} takes ${option.value}`);
    } else if (equals >= 0) {
      throw new CommandLineError(`${name} takes no value`);
    }
    if (option.multiple) (values[name] ??= []).push(value);
    else values[name] = value;
  }
  return { options: values, words };
}
