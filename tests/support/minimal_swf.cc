#include "support/minimal_swf.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

using Bytes = std::string;
using Lines = std::vector<std::string>;

enum TagCode : int {
  kEnd = 0,
  kShowFrame = 1,
  kDoAction = 12,
  kDefineButton2 = 34,
  kDefineSprite = 39,
  kExportAssets = 56,
  kDoInitAction = 59,
};

void Append16(Bytes& bytes, unsigned value) {
  bytes += static_cast<char>(value & 0xff);
  bytes += static_cast<char>((value >> 8) & 0xff);
}

void Append32(Bytes& bytes, std::uint32_t value) {
  Append16(bytes, value & 0xffff);
  Append16(bytes, value >> 16);
}

Bytes Tag(int code, const Bytes& body) {
  Bytes tag;
  if (body.size() < 63) {
    Append16(tag, static_cast<unsigned>(code << 6) | body.size());
  } else {
    Append16(tag, static_cast<unsigned>(code << 6) | 63);
    Append32(tag, static_cast<std::uint32_t>(body.size()));
  }
  return tag + body;
}

// An action block with nothing in it but its end.
const Bytes kNoActions(1, '\0');

// 0 to 11000 by 0 to 8000 twips (550 by 400 pixels), 15 bits each.
Bytes FrameRectangle() {
  const unsigned values[] = {0, 11000, 0, 8000};
  std::string bits = "01111";
  for (unsigned value : values) {
    for (int bit = 14; bit >= 0; --bit)
      bits += (value >> bit) & 1 ? '1' : '0';
  }
  while (bits.size() % 8)
    bits += '0';
  Bytes rectangle;
  for (std::size_t i = 0; i < bits.size(); i += 8)
    rectangle += static_cast<char>(std::stoi(bits.substr(i, 8), nullptr, 2));
  return rectangle;
}

Lines Words(const std::string& line) {
  std::istringstream in(line);
  Lines words;
  std::string word;
  while (in >> word)
    words.push_back(word);
  return words;
}

std::string FirstWord(const std::string& line) {
  Lines words = Words(line);
  return words.empty() ? "" : words[0];
}

unsigned NumberAfterFirstWord(const std::string& line) {
  Lines words = Words(line);
  return words.size() > 1 ? static_cast<unsigned>(std::atoi(words[1].c_str()))
                          : 0;
}

bool OpensActionBody(const std::string& word) {
  static const char* const openers[] = {
      "function",      "function2",         "try",
      "with",          "setTarget",         "setTargetExpr",
      "ifFrameLoaded", "ifFrameLoadedExpr",
  };
  for (const char* opener : openers) {
    if (word == opener)
      return true;
  }
  return false;
}

class MovieBuilder {
 public:
  explicit MovieBuilder(const Lines& lines) : lines_(lines) {}

  // Reads a timeline up to its end (a sprite's) or the end of the text.
  Bytes Timeline(bool sprite, int& frames) {
    Bytes tags;
    frames = 0;
    while (at_ < lines_.size()) {
      const std::string& line = lines_[at_++];
      std::string word = FirstWord(line);
      if (word == "frame") {
        SkipActionBlock();
        tags += Tag(kDoAction, kNoActions) + Tag(kShowFrame, "");
        ++frames;
      } else if (word == "defineMovieClip") {
        tags += Sprite(NumberAfterFirstWord(line));
      } else if (word == "initMovieClip") {
        SkipActionBlock();
        Bytes body;
        Append16(body, NumberAfterFirstWord(line));
        tags += Tag(kDoInitAction, body + kNoActions);
      } else if (word == "defineButton") {
        tags += Button(NumberAfterFirstWord(line));
      } else if (word == "exportAssets") {
        tags += Exports();
      } else if (word == "end" && sprite) {
        break;
      }
    }
    if (frames == 0) {
      tags += Tag(kShowFrame, "");
      frames = 1;
    }
    return tags;
  }

 private:
  // Past the `end` that closes the block whose first line was just read.
  void SkipActionBlock() {
    for (int depth = 1; at_ < lines_.size() && depth > 0;) {
      std::string word = FirstWord(lines_[at_++]);
      if (OpensActionBody(word))
        ++depth;
      else if (word == "end")
        --depth;
    }
  }

  Bytes Sprite(unsigned id) {
    int frames = 0;
    Bytes inner = Timeline(true, frames);
    Bytes body;
    Append16(body, id);
    Append16(body, static_cast<unsigned>(frames));
    return Tag(kDefineSprite, body + inner + Tag(kEnd, ""));
  }

  // One shape record (character 1 at depth 1, up state) and one action per
  // `on` line.
  Bytes Button(unsigned id) {
    int conditions = 0;
    while (at_ < lines_.size()) {
      std::string word = FirstWord(lines_[at_++]);
      if (word == "on") {
        SkipActionBlock();
        ++conditions;
      } else if (word == "end") {
        break;
      }
    }
    Bytes records("\x01", 1);
    Append16(records, 1);  // character
    Append16(records, 1);  // depth
    records += std::string("\0\0\0", 3);  // matrix, colour transform, end
    Bytes actions;
    for (int i = 0; i < conditions; ++i) {
      bool last = i + 1 == conditions;
      Append16(actions, last ? 0 : 5);  // to the next condition
      Append16(actions, 0x0008);        // overDownToOverUp: a release
      actions += kNoActions;
    }
    Bytes body;
    Append16(body, id);
    body += '\0';  // flags
    Append16(body, conditions ? 2 + static_cast<unsigned>(records.size()) : 0);
    return Tag(kDefineButton2, body + records + actions);
  }

  // Lines of "ID as 'name'" up to the block's end.
  Bytes Exports() {
    Bytes entries;
    unsigned count = 0;
    while (at_ < lines_.size()) {
      const std::string& line = lines_[at_++];
      if (FirstWord(line) == "end")
        break;
      std::size_t open = line.find('\'');
      std::size_t close = line.rfind('\'');
      if (open == std::string::npos || close <= open)
        continue;
      Append16(entries, static_cast<unsigned>(std::atoi(FirstWord(line).c_str())));
      entries += line.substr(open + 1, close - open - 1) + '\0';
      ++count;
    }
    Bytes body;
    Append16(body, count);
    return Tag(kExportAssets, body + entries);
  }

  const Lines& lines_;
  std::size_t at_ = 0;
};

int FlashVersion(const std::string& first_line) {
  std::size_t at = first_line.find("// flash ");
  if (first_line.rfind("movie", 0) != 0 || at == std::string::npos)
    return 8;
  return std::atoi(first_line.c_str() + at + 9);
}

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

std::string minimal_swf_for(const std::string& flasm_text) {
  Lines lines = SplitLines(flasm_text);
  int frames = 0;
  Bytes tags = MovieBuilder(lines).Timeline(false, frames);
  Bytes body = FrameRectangle();
  Append16(body, 12 << 8);  // 12 frames a second
  Append16(body, static_cast<unsigned>(frames));
  body += tags + Tag(kEnd, "");
  Bytes movie = "FWS";
  movie += static_cast<char>(lines.empty() ? 8 : FlashVersion(lines[0]));
  Append32(movie, static_cast<std::uint32_t>(8 + body.size()));
  return movie + body;
}
