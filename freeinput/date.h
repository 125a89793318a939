// The date stamp of the run.
//
// DATTIM reads the local date and time; DATTXT renders it as
// " Date : 2026-12-07 21:15:48" or a shorter form from that reading.
#pragma once

#include <array>
#include <span>

namespace vantor::freeinput {

// Local date and time: year (e.g. 2026), month 1-12, day, hour 0-23, minute,
// second. Each argument is set to 0 first.
void DATTIM(int& year, int& month, int& day, int& hour, int& minute, int& second);

// The date stamp, cut to the field's length and padded with blanks.
// form 1: year; 2: up to the month; 3: the day; 4: the hour; 5: the minute;
// 6 and any other value: up to the second.
void DATTXT(std::span<char> text, int form);

// The stamp of DATTXT for a given reading of DATTIM (year, month, day, hour,
// minute, second): a year below 1000 counts from 1900.
void date_stamp_of(const std::array<int, 6>& reading, std::span<char> text, int form);

}  // namespace vantor::freeinput
