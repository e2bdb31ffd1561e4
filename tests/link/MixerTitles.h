#pragma once

#include <cstdint>
#include <functional>

class VirtualMixer;

// Puts a title (or an IntVideo clip) straight into the virtual mixer's memory,
// as an upload would leave it: line r of frame f is a flat line of the device
// pixel luma(f, r), key `key`, neutral chroma. Gives the memory number.
namespace MixerTitles {

std::uint16_t store(VirtualMixer &mixer, bool clip, int width, int height, int blocksPerFrame,
                    int frames, int key, const std::function<int(int frame, int line)> &luma);

} // namespace MixerTitles
