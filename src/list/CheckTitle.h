#pragma once

struct TitleEntry;
struct VideoFormatParams;
class ImageLibrary;

// Validates a title read from a list or history file against the video
// format and completes its Width and Height from its pictures. The first
// failing rule returns false; Width and Height may have been updated by then.
bool CheckTitle(TitleEntry &entry, const VideoFormatParams &format, ImageLibrary &images);
