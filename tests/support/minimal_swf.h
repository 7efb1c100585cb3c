#ifndef VIMBREL_TESTS_SUPPORT_MINIMAL_SWF_H_
#define VIMBREL_TESTS_SUPPORT_MINIMAL_SWF_H_

#include <string>

/// The smallest movie that `flasm -a` can fill with `flasm_text`. flasm
/// puts each action block of the text into the movie's tags in order, so the
/// movie needs the same containers in the same order: a DoAction and a
/// ShowFrame per frame, a DefineSprite per defineMovieClip, a DoInitAction
/// per initMovieClip, a DefineButton2 with one condition per `on`, an
/// ExportAssets per exportAssets. Its version is the text's "// flash N",
/// else 8.
std::string minimal_swf_for(const std::string& flasm_text);

#endif  // VIMBREL_TESTS_SUPPORT_MINIMAL_SWF_H_
