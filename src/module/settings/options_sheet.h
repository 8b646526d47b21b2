// Helpers of the options sheet that need no view.
#pragma once

#include <string>
#include <string_view>

namespace tavrin {

/// "YYYY-MM-DD hh:mm:ss" from the compiler's date ("Mmm dd yyyy", the day padded with a space)
/// and time ("hh:mm:ss") texts. The month is the place of the three letters in
/// "JanFebMarAprMayJunJulAugSepOctNovDec" (0 when they are not there); the day is read from the
/// fifth character on and the year from the eighth. The time is copied unchanged. Text too short
/// to hold a field reads that field as 0.
std::string buildStampFromCompilerDate(std::string_view date, std::string_view time);

/// The sheet's version line: "Version: <short> (<build>) — built <stamp>".
std::string sheetVersionLine(std::string_view shortVersion, std::string_view buildVersion, std::string_view stamp);

}  // namespace tavrin
