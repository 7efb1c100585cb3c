#include "driver/messages.h"

const char* const usage_banner[] = {
    "Vimbrel.exe - Program for adding trace functionality to FLMs.",
    "               The Vimbrel developers.",
    " Usage:",
    "   vimbrel.exe inputfile.flm - the flm file to add trace statements to.",
    " Output is in inputfile.fln and a temporary file is generated: "
    "inputfile.tmp.",
    nullptr,
};

const char* const options_help[] = {
    " Options, before the file name (-- ends them):",
    "   --clock=getTimer  times records with getTimer() (the default).",
    "   --clock=date      times them with the wall clock, which Ruffle keeps "
    "true.",
    "   --collect-from-start",
    "                     collects records from the movie's start; F12 "
    "then stops",
    "                     and sends them, and toggles as ever after.",
    "   --only PATTERN    traces only functions whose name matches (may be "
    "repeated).",
    "   --skip PATTERN    leaves out functions whose name matches; wins over "
    "--only.",
    "                     Patterns match whole names: * any characters, ? "
    "one, \\",
    "                     quotes the next (--skip '*.__get__*').",
    "   --flush-every N   hands every N records to the host with "
    "\"FSCommand:records\"",
    "                     while collecting, for hosts that take them (0: "
    "none).",
    "   --frames          marks the start of each frame of the player with "
    "a record,",
    "                     \"N Frame t\".",
    "   --events          traces frame scripts and button and clip handlers "
    "too,",
    "                     under names such as \"frame 3\" and \"clip 78 "
    "onClipEvent load\".",
    "   --trace-output    records each line the movie prints with trace() "
    "too,",
    "                     \"text Trace t\".",
    "   --list-functions  prints the names that would be traced, each after "
    "the",
    "                     number of its functions, and writes no file.",
    "   --help            shows this text.",
    nullptr,
};

const char kUnknownOption[] = "Unknown option %s.";
const char kUnknownClock[] =
    "Unknown clock %s: the clocks are getTimer and date.";
const char kOptionNeedsValue[] = "%s needs %s";
const char kBadFlushCount[] =
    "--flush-every takes a whole number of records, not %s.";
const char kOptionAfterFileName[] =
    "%s after the file name is ignored: options go before it";

const char kCouldNotOpenInput[] = "Could not open %s. Exiting...";
const char kCouldNotCreateTemporary[] =
    "Could not create a temporary output file.";
const char kFinishedFirstPass[] = "Finished first pass at processing %s.";
const char kOldFlashWarning[] =
    "Warning: %s is a Flash %d movie; the tracer needs Flash 6 or later.";
const char kNoFrameWarning[] =
    "Warning: no frame line in %s; the tracer will not be created.";
const char kTokenIteratorMessedUp[] = "Token Iterator is messed up.";
const char kInputFileMessedUp[] = "InputFile is messed up.";
const char kCouldNotOpenTemporary[] = "Could not open the temporary input file.";
const char kCouldNotOpenFinal[] = "Could not open the final output file.";
const char kCouldNotWrite[] = "Could not write %s.";
const char kMayBeTooLong[] =
    "Warning: a branch or block at line %ld of %s may be too long for flasm "
    "after tracing.";
const char kFinishedSecondPass[] =
    "Finished second pass. Saved new flasm to %s.\nShutting down...";
