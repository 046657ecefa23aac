// Scans of text for the commands that rewrite files: where the next line ends, or where the
// next byte is that the tab conversion must look at. Sixteen bytes at a time where the
// processor can.
#pragma once

// The first CR or LF in [p, end), or end.
const char* ScanLineEnd(const char* p, const char* end);
// The first CR, LF or tab in [p, end) (with blanks, a blank too), or end.
const char* ScanLineEndOrTab(const char* p, const char* end, bool blanks);
// Passes up to want line ends in [p, end) as the text search counts them (CR LF, CR and LF each
// end one line) and returns where it stopped: behind the want-th line end, at end, or at a CR
// that is the last byte (its LF may begin the next block). *passed gets the line ends passed.
const char* PassLineEnds(const char* p, const char* end, long long want, long long* passed);
