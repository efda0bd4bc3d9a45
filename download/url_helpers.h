#pragma once

#include <string>

// The two text helpers of the information request: the host and object path of a URL, and the
// status text that the internet layer ends with a NUL.
namespace url_helpers {

// Splits `url` in place into its host (left in `url`) and object path (written to `path`).
// A leading "http://" (exactly this case) is dropped first; the host ends before the first
// "/", and the path runs from that "/" to the end. Without a "/" the path keeps what it held.
// Raises 6 "Overflow" when the first "/" lies beyond position 32,767; `url` has then already
// lost its "http://".
void SplitUrl(std::u16string& url, std::u16string& path);

// The part of `text` before its first NUL character. Raises 5 "Invalid procedure call or
// argument" when there is none.
std::u16string CutAtNull(const std::u16string& text);

}  // namespace url_helpers
