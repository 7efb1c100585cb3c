#ifndef VIMBREL_DRIVER_MESSAGES_H_
#define VIMBREL_DRIVER_MESSAGES_H_

/// The banner, one line of text per entry, closed by a null pointer.
extern const char* const usage_banner[];
/// The options, shown after the banner by --help and for a wrong option.
extern const char* const options_help[];

/// printf formats of the command line's messages.
extern const char kUnknownOption[];              // option
extern const char kUnknownClock[];               // clock
extern const char kOptionNeedsValue[];           // option, what it takes
extern const char kBadFlushCount[];              // count
extern const char kOptionAfterFileName[];        // option

/// printf formats of the driver's messages.
extern const char kCouldNotOpenInput[];          // input name
extern const char kCouldNotCreateTemporary[];
extern const char kFinishedFirstPass[];          // input name
extern const char kOldFlashWarning[];            // input name, version
extern const char kNoFrameWarning[];             // input name
extern const char kTokenIteratorMessedUp[];
extern const char kInputFileMessedUp[];
extern const char kCouldNotOpenTemporary[];
extern const char kCouldNotOpenFinal[];
extern const char kCouldNotWrite[];              // file name
extern const char kMayBeTooLong[];              // final line, final name
extern const char kFinishedSecondPass[];         // final name

#endif  // VIMBREL_DRIVER_MESSAGES_H_
