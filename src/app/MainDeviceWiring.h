#pragma once

class DeviceSession;
class TFormMain;

// What joins the main window to the mixer once both exist: the memory
// mirror's map reads and clears, the Load command's transfer dialog, the
// property command's writes to stored titles, the editing commands that
// reach the device, and the connect and disconnect effects on the memory.
void connectMainWindowToDevice(TFormMain &main, DeviceSession &device);
