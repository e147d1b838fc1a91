// JPEG encoding through libjpeg for generated test images.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vorlo::swfasm {

// `rgb` holds width * height * 3 bytes. False with `error` when libjpeg refuses.
bool encodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality, std::vector<uint8_t>& out,
                std::string& error);

// Splits a complete JPEG into its tables (SOI, DQT and DHT segments, EOI) and the image without
// them (SOI, the rest): the two halves of DefineBits and JPEGTables.
void splitJpegTables(const std::vector<uint8_t>& jpeg, std::vector<uint8_t>& tables, std::vector<uint8_t>& image);

}  // namespace vorlo::swfasm
