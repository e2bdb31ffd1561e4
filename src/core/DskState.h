#pragma once

// The downstream keyer's play state as the program follows it. The numbers
// are the mixer's and the event lines'.
enum class DskState {
    OnWait = 0, // waiting for the trigger of the in effect
    OnRunning,  // the in effect runs
    Showing,    // on air
    OffWait,    // waiting for the trigger of the out effect
    OffRunning, // the out effect runs
    Ended,      // the title has ended
    Idle,       // nothing on the keyer
};
