#include "passtwo/action_sizes.h"

#include <array>
#include <cctype>
#include <cstdlib>

#include "scan/flasm_words.h"
#include "scan/string_literal.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads the parts of an operand list.
class Operands {
 public:
  explicit Operands(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (at_ < text_.size() && IsBlank(text_[at_]))
      ++at_;
  }
  bool AtEnd() {
    SkipBlanks();
    return at_ >= text_.size();
  }
  char Peek() {
    SkipBlanks();
    return at_ < text_.size() ? text_[at_] : '\0';
  }
  bool Take(char c) {
    if (Peek() != c)
      return false;
    ++at_;
    return true;
  }
  // A run of characters up to a blank, a comma or a parenthesis.
  std::string_view Word() {
    SkipBlanks();
    std::size_t begin = at_;
    at_ = word_end(text_, begin);
    return text_.substr(begin, at_ - begin);
  }
  // A quoted string with flasm's escapes resolved: \b \t \n \f \r \\ \'
  // and, in double quotes, \" are one byte each; any other backslash stays
  // a backslash.
  // A view into the text when it holds no backslash, else into `scratch`.
  std::string_view Literal(std::string& scratch) {
    SkipBlanks();
    char quote = text_[at_++];
    std::size_t begin = at_;
    while (at_ < text_.size() && text_[at_] != quote && text_[at_] != '\\')
      ++at_;
    if (at_ >= text_.size() || text_[at_] == quote) {
      std::string_view plain = text_.substr(begin, at_ - begin);
      if (at_ < text_.size())
        ++at_;  // the closing quote
      return plain;
    }
    scratch.assign(text_.substr(begin, at_ - begin));
    while (at_ < text_.size() && text_[at_] != quote) {
      char c = text_[at_++];
      char escaped;
      if (c == '\\' && at_ < text_.size() &&
          escaped_byte(text_[at_], quote, escaped)) {
        ++at_;
        scratch += escaped;
        continue;
      }
      scratch += c;
    }
    if (at_ < text_.size())
      ++at_;  // the closing quote
    return scratch;
  }
  // Skips the r:N= before a function2 parameter's name.
  void SkipRegisterAssignment() {
    SkipBlanks();
    if (text_.compare(at_, 2, "r:") != 0)
      return;
    std::size_t equals = text_.find_first_of("=,)", at_);
    if (equals != std::string_view::npos && text_[equals] == '=')
      at_ = equals + 1;
  }
  bool AtQuote() {
    char c = Peek();
    return c == '\'' || c == '"';
  }
  // A string operand, quoted or bare.
  std::string_view StringOperand(std::string& scratch) {
    if (AtQuote())
      return Literal(scratch);
    return Word();
  }
  // The length of a string operand, quoted or bare.
  long StringOperandBytes() {
    std::string scratch;
    return static_cast<long>(StringOperand(scratch).size());
  }
  // Everything up to the next comma, or the end, without trailing blanks.
  std::string_view Value() {
    SkipBlanks();
    std::size_t begin = at_;
    while (at_ < text_.size() && text_[at_] != ',')
      ++at_;
    std::size_t end = at_;
    while (end > begin && IsBlank(text_[end - 1]))
      --end;
    return text_.substr(begin, end - begin);
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.substr(text.size() - suffix.size()) == suffix;
}

long StringBytes(std::string_view text, const ConstantPool& pool) {
  long index = pool.find(text);
  if (index < 0)
    return 2 + static_cast<long>(text.size());
  return index < 256 ? 2 : 3;
}

bool SameLetters(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size())
    return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i])
      return false;
  }
  return true;
}

// One value of a push line that is not a quoted string.
long BareValueBytes(std::string_view value, const ConstantPool& pool) {
  if (StartsWith(value, "r:"))
    return 2;
  if (StartsWith(value, "c:"))
    return std::strtol(std::string(value.substr(2)).c_str(), nullptr, 10) < 256
               ? 2
               : 3;
  if (SameLetters(value, "TRUE") || SameLetters(value, "FALSE"))
    return 2;
  if (SameLetters(value, "NULL") || SameLetters(value, "UNDEF"))
    return 1;
  if (value == "_NAN" || value == "POSITIVE_INFINITY" ||
      value == "NEGATIVE_INFINITY")
    return 9;
  if (value == "_NANF" || value == "POSITIVE_INFINITYF" ||
      value == "NEGATIVE_INFINITYF" || EndsWith(value, "_PROPERTY"))
    return 5;
  char first = value.empty() ? '\0' : value[0];
  bool number = (first >= '0' && first <= '9') ||
                ((first == '-' || first == '+') && value.size() > 1);
  if (number) {
    if (value.find('.') == std::string_view::npos)
      return 5;
    return (value.back() == 'f' || value.back() == 'F') ? 5 : 9;
  }
  // A bare identifier is a string.
  return StringBytes(value, pool);
}

long PushBytes(Operands& operands, const ConstantPool& pool) {
  long bytes = 3;
  std::string scratch;
  while (!operands.AtEnd()) {
    if (operands.AtQuote()) {
      bytes += StringBytes(operands.Literal(scratch), pool);
      operands.Value();  // anything left of this value
    } else {
      bytes += BareValueBytes(operands.Value(), pool);
    }
    if (!operands.Take(','))
      break;
  }
  return bytes;
}

long ConstantsBytes(Operands& operands) {
  long bytes = 5;
  while (!operands.AtEnd()) {
    bytes += operands.StringOperandBytes() + 1;
    if (!operands.Take(','))
      break;
  }
  return bytes;
}

// The name of a function line, quoted or bare; empty when it has none.
long FunctionNameBytes(Operands& operands) {
  if (operands.Peek() == '(')
    return 0;
  return operands.StringOperandBytes();
}

// A parenthesised list of names, each written 'name', r:N='name' or name;
// `each` is added per entry to its name's length.
long ParameterBytes(Operands& operands, long each) {
  long bytes = 0;
  if (!operands.Take('('))
    return 0;
  while (!operands.AtEnd() && operands.Peek() != ')') {
    operands.SkipRegisterAssignment();
    bytes += operands.StringOperandBytes() + each;
    if (!operands.Take(','))
      break;
  }
  operands.Take(')');
  return bytes;
}

SizedLine Opener(long bytes, BodyKind body, long end_bytes = 0) {
  SizedLine sized;
  sized.kind = LineKind::kOpener;
  sized.bytes = bytes;
  sized.body = body;
  sized.end_bytes = end_bytes;
  return sized;
}

SizedLine Action(long bytes) {
  SizedLine sized;
  sized.kind = LineKind::kAction;
  sized.bytes = bytes;
  return sized;
}

SizedLine OfKind(LineKind kind) {
  SizedLine sized;
  sized.kind = kind;
  return sized;
}

// The keywords whose lines are not one-byte actions.
enum class Keyword {
  kPush, kConstants, kEnd, kBranch, kBlockStart, kSection, kFunction,
  kFunction2, kTry, kWith, kSetTarget, kSetTargetExpr, kIfFrameLoaded,
  kIfFrameLoadedExpr, kFourBytes, kGotoFrame, kCallFrame, kGotoLabel, kGetURL,
  kGotoAnd, kSwfAction,
};

struct KnownKeyword {
  std::string_view word;
  Keyword keyword;
};

constexpr KnownKeyword kKnownKeywords[] = {
    {"push", Keyword::kPush},
    {"constants", Keyword::kConstants},
    {"end", Keyword::kEnd},
    {"branch", Keyword::kBranch},
    {"branchAlways", Keyword::kBranch},
    {"branchIfTrue", Keyword::kBranch},
    {"frame", Keyword::kBlockStart},
    {"initMovieClip", Keyword::kBlockStart},
    {"on", Keyword::kBlockStart},
    {"onClipEvent", Keyword::kBlockStart},
    {"catch", Keyword::kSection},
    {"finally", Keyword::kSection},
    {"function", Keyword::kFunction},
    {"function2", Keyword::kFunction2},
    {"try", Keyword::kTry},
    {"with", Keyword::kWith},
    {"setTarget", Keyword::kSetTarget},
    {"setTargetExpr", Keyword::kSetTargetExpr},
    {"ifFrameLoaded", Keyword::kIfFrameLoaded},
    {"ifFrameLoadedExpr", Keyword::kIfFrameLoadedExpr},
    {"setRegister", Keyword::kFourBytes},
    {"getURL2", Keyword::kFourBytes},
    {"loadMovie", Keyword::kFourBytes},
    {"loadMovieNum", Keyword::kFourBytes},
    {"loadVariables", Keyword::kFourBytes},
    {"loadVariablesNum", Keyword::kFourBytes},
    {"strictMode", Keyword::kFourBytes},
    {"gotoFrame", Keyword::kGotoFrame},
    {"callFrame", Keyword::kCallFrame},
    {"gotoLabel", Keyword::kGotoLabel},
    {"getURL", Keyword::kGetURL},
    {"gotoAndPlay", Keyword::kGotoAnd},
    {"gotoAndStop", Keyword::kGotoAnd},
    {"swfAction", Keyword::kSwfAction},
};

// The keywords above by their first letter: every line is looked up.
struct KeywordsByLetter {
  KeywordsByLetter() {
    for (const KnownKeyword& known : kKnownKeywords)
      by_letter[static_cast<unsigned char>(known.word[0])].push_back(known);
  }
  std::array<std::vector<KnownKeyword>, 256> by_letter;
};

const KeywordsByLetter keywords_by_letter;

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  // Keywords are short: a loop beats a call to memcmp.
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i])
      return false;
  }
  return true;
}

bool FindKeyword(std::string_view word, Keyword& keyword) {
  for (const KnownKeyword& known :
       keywords_by_letter.by_letter[static_cast<unsigned char>(word[0])]) {
    if (SameWord(known.word, word)) {
      keyword = known.keyword;
      return true;
    }
  }
  return false;
}

bool IsEndOfFunction(std::string_view line) {
  std::size_t mark = line.find("//");
  if (mark == std::string_view::npos)
    return false;
  Operands words(line.substr(mark + 2));
  return words.Word() == "of" && words.Word() == "function";
}

}  // namespace

namespace {

LineKind KindOf(Keyword keyword) {
  switch (keyword) {
    case Keyword::kBranch:
      return LineKind::kBranch;
    case Keyword::kConstants:
      return LineKind::kConstants;
    case Keyword::kEnd:
      return LineKind::kEnd;
    case Keyword::kBlockStart:
      return LineKind::kBlockStart;
    case Keyword::kFunction:
    case Keyword::kFunction2:
    case Keyword::kTry:
    case Keyword::kWith:
    case Keyword::kSetTarget:
    case Keyword::kSetTargetExpr:
    case Keyword::kIfFrameLoaded:
    case Keyword::kIfFrameLoadedExpr:
      return LineKind::kOpener;
    default:
      return LineKind::kAction;
  }
}

// The letters that begin a keyword of a kind other than kAction: asked of
// every line of the final file, most of which begin with another letter.
std::array<bool, 256> LettersOfKinds() {
  std::array<bool, 256> letters{};
  for (const KnownKeyword& known : kKnownKeywords) {
    if (KindOf(known.keyword) != LineKind::kAction)
      letters[static_cast<unsigned char>(known.word[0])] = true;
  }
  return letters;
}

const std::array<bool, 256> letters_of_kinds = LettersOfKinds();

}  // namespace

LineKind keyword_kind(std::string_view word) {
  Keyword keyword;
  if (word.empty() ||
      !letters_of_kinds[static_cast<unsigned char>(word[0])] ||
      !FindKeyword(word, keyword))
    return LineKind::kAction;
  return KindOf(keyword);
}

void ConstantPool::replace(std::string_view constants_line) {
  clear();
  std::string storage;
  std::string_view code = without_comments(constants_line, storage);
  if (code.data() == storage.data()) {
    owned_.push_back(storage);
    code = owned_.back();
  }
  Operands operands(code);
  operands.Word();  // constants
  long index = 0;
  std::string scratch;
  while (!operands.AtEnd()) {
    std::string_view entry = operands.StringOperand(scratch);
    if (entry.data() == scratch.data()) {
      owned_.push_back(scratch);
      entry = owned_.back();
    }
    index_.emplace(entry, index++);
    if (!operands.Take(','))
      break;
  }
}

void ConstantPool::clear() {
  index_.clear();
  owned_.clear();
}

long ConstantPool::find(std::string_view text) const {
  auto found = index_.find(text);
  return found == index_.end() ? -1 : found->second;
}

SizedLine size_line(std::string_view line, const ConstantPool& pool) {
  std::string storage;
  std::string_view code = without_comments(line, storage);
  Operands operands(code);
  if (operands.AtEnd())
    return OfKind(LineKind::kOther);
  std::string_view keyword = operands.Word();
  if (keyword.empty())
    return OfKind(LineKind::kOther);
  if (keyword.back() == ':') {
    SizedLine label = OfKind(LineKind::kLabel);
    label.label = keyword.substr(0, keyword.size() - 1);
    // A view into `line`, which outlives the result; `code` may not.
    if (code.data() != line.data())
      label.label = line.substr(line.find(label.label), label.label.size());
    return label;
  }
  Keyword known;
  if (!FindKeyword(keyword, known))
    return Action(1);
  switch (known) {
    case Keyword::kPush:
      return Action(PushBytes(operands, pool));
    case Keyword::kConstants: {
      SizedLine constants = Action(ConstantsBytes(operands));
      constants.kind = LineKind::kConstants;
      return constants;
    }
    case Keyword::kEnd: {
      SizedLine end = OfKind(LineKind::kEnd);
      end.ends_function = IsEndOfFunction(line);
      return end;
    }
    case Keyword::kBranch: {
      SizedLine branch = Action(5);
      std::string_view target = operands.Word();
      char first = target.empty() ? '0' : target[0];
      if (!(first == '-' || (first >= '0' && first <= '9'))) {
        branch.kind = LineKind::kBranch;
        std::size_t at = line.find(target, line.find(keyword) + keyword.size());
        branch.label = line.substr(at, target.size());
      }
      return branch;
    }
    case Keyword::kBlockStart:
      return OfKind(LineKind::kBlockStart);
    case Keyword::kSection:
      return OfKind(LineKind::kOther);
    case Keyword::kFunction: {
      long name = FunctionNameBytes(operands);
      return Opener(8 + name + ParameterBytes(operands, 1), BodyKind::kFunction);
    }
    case Keyword::kFunction2: {
      long name = FunctionNameBytes(operands);
      return Opener(11 + name + ParameterBytes(operands, 2),
                    BodyKind::kFunction);
    }
    case Keyword::kTry:
      return Opener(11 + (operands.AtQuote() ? operands.StringOperandBytes() : 0),
                    BodyKind::kTryOrWith);
    case Keyword::kWith:
      return Opener(5, BodyKind::kTryOrWith);
    case Keyword::kSetTarget:
      return Opener(4 + operands.StringOperandBytes(), BodyKind::kOther, 4);
    case Keyword::kSetTargetExpr:
      return Opener(1, BodyKind::kOther, 4);
    case Keyword::kIfFrameLoaded:
      return Opener(6, BodyKind::kOther);
    case Keyword::kIfFrameLoadedExpr:
      return Opener(4, BodyKind::kOther);
    case Keyword::kFourBytes:
      return Action(4);
    case Keyword::kGotoFrame:
      return Action(5);
    case Keyword::kCallFrame:
      return Action(3);
    case Keyword::kGotoLabel:
      return Action(4 + operands.StringOperandBytes());
    case Keyword::kGetURL: {
      long url = operands.StringOperandBytes();
      long target = operands.StringOperandBytes();
      return Action(5 + url + target);
    }
    case Keyword::kGotoAnd:
      return Action(operands.Word() == "skip" ? 6 : 4);
    case Keyword::kSwfAction: {
      std::string code_text(operands.Word());
      long action = std::strtol(code_text.c_str(), nullptr, 16);
      long data = 0;
      if (operands.Word() == "hexdata") {
        while (!operands.AtEnd()) {
          operands.Word();
          ++data;
          if (!operands.Take(','))
            break;
        }
      }
      return Action((action < 0x80 ? 1 : 3) + data);
    }
  }
  return Action(1);
}

void ActionLayout::start_block() {
  pool_.clear();
  open_.clear();
  position_ = 0;
  open_.push_back({BodyKind::kNone, next_context_++, lines_, 0, 0});
}

LaidLine ActionLayout::add(std::string_view line, ClosedBody* closed) {
  LaidLine laid;
  laid.sized = size_line(line, pool_);
  long line_number = lines_++;
  if (laid.sized.kind == LineKind::kBlockStart)
    start_block();
  laid.position = position_;
  laid.context = open_.empty() ? 0 : open_.back().context;
  if (open_.empty())
    return laid;
  switch (laid.sized.kind) {
    case LineKind::kConstants:
      pool_.replace(line);
      break;
    case LineKind::kOpener:
      open_.push_back({laid.sized.body, next_context_++, line_number,
                       position_ + laid.sized.bytes, laid.sized.end_bytes});
      break;
    case LineKind::kEnd: {
      // `end // of function` closes the function, whatever is open in it.
      while (laid.sized.ends_function && open_.size() > 1 &&
             open_.back().kind != BodyKind::kFunction)
        open_.pop_back();
      OpenBody body = open_.back();
      open_.pop_back();
      laid.sized.bytes = body.end_bytes;
      if (closed) {
        closed->kind = body.kind;
        closed->opener_line = body.opener_line;
        closed->end_line = line_number;
        closed->body_bytes = position_ - body.body_start;
      }
      break;
    }
    default:
      break;
  }
  position_ += laid.sized.bytes;
  return laid;
}
