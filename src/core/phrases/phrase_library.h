#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::phrases {

using store::kLibrarySize;
using store::kPhraseCount;
using store::kPhraseSize;

// word.dat as it lies on disk: phrase n at 16·n, GBK, zero-padded, a 16-byte
// phrase without terminator.
using PhraseImage = std::array<std::uint8_t, kLibrarySize>;

// Missing or short file: zeros.
PhraseImage ReadPhraseLibrary(const store::ProjectDir& dir);
// Creates an empty (zero-length) word.dat when there is none; keeps an existing one.
[[nodiscard]] base::Result<> EnsurePhraseFile(const store::ProjectDir& dir);
// Writes the 4096 bytes without truncating a longer file (created if absent).
[[nodiscard]] base::Result<> WritePhraseLibrary(const store::ProjectDir& dir,
                                                const PhraseImage& image);
// Writes one phrase's 16 bytes in place; the rest of the file stays.
[[nodiscard]] base::Result<> WritePhrase(const store::ProjectDir& dir, int number,
                                         const PhraseImage& image);
// A dialog's save of phrase `number`: unchanged from `shown` (what the dialog
// read) writes nothing; otherwise only its 16 bytes go into word.dat, read
// under the project lock. When the file's phrase changed since it was shown,
// nothing is written: the error shows both, and `shown` becomes the file's, so
// saving again keeps the user's. On success `shown` is the file's, with the phrase.
[[nodiscard]] base::Result<> SavePhraseEdit(const store::ProjectDir& dir, PhraseImage& shown,
                                            int number, const PhraseImage& edited);

// Phrase n's text (GBK): up to its first zero, at most 16 bytes.
std::string PhraseText(const PhraseImage& image, int number);
// Stores typed text as an editor does: ASCII upper-cased, cut at a whole
// character to 16 bytes, zero-padded.
void SetPhrase(PhraseImage& image, int number, std::string_view gbk);

// The built-in table of common phrases, as a whole image.
PhraseImage CommonPhrases();

// What the phrase commands of the first family's menu do (mode 0: empty,
// mode 1: the common table).
inline constexpr int kInitEmpty = 0;
inline constexpr int kInitCommon = 1;
[[nodiscard]] base::Result<> InitialisePhrases(const store::ProjectDir& dir, int mode);

}  // namespace velsend::phrases
