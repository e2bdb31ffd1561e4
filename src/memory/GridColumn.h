#pragma once

// The columns of the send list's grid, left to right (header texts of the
// icon view in brackets).
enum class GridColumn : int {
    State = 0, // protect, mark and the on-air icon
    Order,     // the order number, coloured by memory state ("O")
    Fraction,  // the frame size as a fraction of a full frame ("D,F")
    Icon,      // the thumbnail, or the frame count in the list view ("ICON")
    On,        // the in effect ("ON")
    Type,      // duration and title type ("TYPE")
    Off,       // the out effect ("OFF")
    Name,      // name and comment; takes what is left of the width ("NAME/COMMENT")
};

inline constexpr int GridColumnCount = 8;
