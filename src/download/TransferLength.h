#pragma once
// How long the memory-class passes' transfers on the data control are: 64
// bytes, or 32 for the one flash that takes no more, instead of the 8-byte
// power-up length. Where the camera's driver keeps the data control at its
// first size until the camera enumerates again (uvcvideo does, and the
// identification has used the control at 8 bytes by then), the longer
// length can only be had on the camera's next appearance, asked for before
// anything else touches the data control: the download run restarts the
// camera for it, where that saves more time than the restart costs.

#include <cstdint>

// Keeps the passes at the 8-byte power-up length: no longer length is asked
// for and no camera is restarted for one. Process-wide; off at start.
void ForceEightByteTransfers(bool forced);
bool EightByteTransfersForced();

// The length the passes ask for: 64, or 32 for a class-8 flash that names
// itself as the one that takes no more (its flash information is read).
uint8_t PassTransferLength(uint32_t key, int memClass);

// The length the download run restarts the camera for before the passes of
// an image of `length` bytes, or 0 for no restart: there is one only where
// the driver holds the data control at another length than the passes want
// and the 8-byte transfers the longer ones spare outweigh the restart.
uint8_t TransferLengthWorthARestart(uint32_t key, int memClass, uint32_t length);

// Whether the data-control length in force can only go back to 8 bytes with
// the camera's restart: the driver holds the control at the longer length.
bool LengthHeldUntilRestart(uint32_t key);
