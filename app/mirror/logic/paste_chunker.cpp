#include "app/mirror/logic/paste_chunker.h"

#include <climits>
#include <memory>

#include <unicode/ubrk.h>
#include <unicode/utext.h>

#include "core/text/utf8.h"

namespace velmora::PasteChunker {
namespace {

// ICU's break positions are 32-bit; longer texts are walked in their first INT32_MAX - 4 bytes.
constexpr std::size_t walkable = INT32_MAX - 4;

// The text with every ill-formed sequence as U+FFFD, cut at a scalar boundary to what ICU can index.
std::string cleaned(std::string_view text, bool& cut) {
    std::string out;
    out.reserve(std::min(text.size(), walkable));
    std::size_t pos = 0;
    while (pos < text.size() && out.size() + 4 <= walkable)
        Utf8::append(out, Utf8::next(text, pos));
    cut = pos < text.size();
    return out;
}

// The end offsets of the grapheme clusters of a UTF-8 text, one at a time. Should ICU fail to open, every
// scalar counts as a character of its own: chunks then may cut a cluster but never a scalar.
class Clusters {
  public:
    explicit Clusters(const std::string& text) : text_(text) {
        UErrorCode status = U_ZERO_ERROR;
        utext_.reset(utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status));
        breaks_.reset(ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status));
        if (U_SUCCESS(status)) ubrk_setUText(breaks_.get(), utext_.get(), &status);
        if (U_FAILURE(status)) breaks_.reset();
        if (breaks_) ubrk_first(breaks_.get());
    }

    // The end of the next cluster, or npos at the end of the text.
    std::size_t next() {
        if (!breaks_) {
            if (pos_ >= text_.size()) return std::string::npos;
            Utf8::next(text_, pos_);
            return pos_;
        }
        const std::int32_t end = ubrk_next(breaks_.get());
        return end == UBRK_DONE ? std::string::npos : static_cast<std::size_t>(end);
    }

  private:
    struct CloseText {
        void operator()(UText* t) const { utext_close(t); }
    };
    struct CloseBreaks {
        void operator()(UBreakIterator* b) const { ubrk_close(b); }
    };
    const std::string& text_;
    std::unique_ptr<UText, CloseText> utext_;
    std::unique_ptr<UBreakIterator, CloseBreaks> breaks_;
    std::size_t pos_ = 0;
};

// A character too long for any chunk, as chunks of whole scalars of at most `limit` bytes (one scalar at
// least, whatever the limit).
void cutOversized(std::string_view character, std::size_t limit, std::vector<std::string>& chunks) {
    std::string piece;
    std::size_t pos = 0;
    while (pos < character.size()) {
        const std::size_t from = pos;
        Utf8::next(character, pos);
        if (!piece.empty() && piece.size() + (pos - from) > limit)
            chunks.push_back(std::move(piece)), piece.clear();
        piece.append(character.substr(from, pos - from));
    }
    if (!piece.empty()) chunks.push_back(std::move(piece));
}

}  // namespace

Result split(std::string_view text, std::int64_t charsPerChunk, std::int64_t bytesPerChunk,
             std::int64_t charsInAll) {
    Result result;
    if (text.empty()) return result;
    bool cut = false;
    const std::string clean = cleaned(text, cut);
    const std::size_t byteLimit = bytesPerChunk > 0 ? static_cast<std::size_t>(bytesPerChunk) : 0;

    std::string current;
    std::int64_t n = 0;
    std::int64_t taken = 0;
    const auto close = [&] {
        if (!current.empty()) result.chunks.push_back(std::move(current));
        current.clear();
        n = 0;
    };

    Clusters clusters(clean);
    std::size_t start = 0;
    for (std::size_t end = clusters.next(); end != std::string::npos; start = end, end = clusters.next()) {
        if (taken >= charsInAll) {
            result.truncated = true;
            break;
        }
        ++taken;
        const std::string_view character = std::string_view(clean).substr(start, end - start);
        if (character.size() > byteLimit) {
            close();
            cutOversized(character, byteLimit, result.chunks);
            continue;
        }
        if (n >= 1 && (n >= charsPerChunk || current.size() + character.size() > byteLimit)) close();
        current.append(character);
        ++n;
    }
    // The part past what ICU can index was never walked.
    if (cut && !result.truncated) result.truncated = true;
    close();
    return result;
}

}  // namespace velmora::PasteChunker
