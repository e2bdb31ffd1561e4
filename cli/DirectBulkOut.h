#pragma once

#include "device/LoadSelectedTitles.h"

class BulkOutTransfer;
class DeviceCli;

// Runs a transfer job into the mixer on the spot, its progress on the
// terminal. A job that fails without a message of its own (a request the
// mixer did not answer) says so.
BulkOutRunner directRunner(BulkOutTransfer &transfer, DeviceCli &cli);

// The level settings and the video format the pictures are sent with, read
// once: nothing changes them while a command runs.
void prepareBulkOut(BulkOutTransfer &transfer, DeviceCli &cli, bool pal);
