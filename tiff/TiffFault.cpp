#include "tiff/TiffFault.h"

#include <algorithm>
#include <iterator>

namespace corvisk {
namespace {

constexpr uint32_t kOutOfMemory = 0x8007000E;  // E_OUTOFMEMORY
constexpr uint32_t kUnexpected = 0x8000FFFF;   // E_UNEXPECTED

struct TagName {
  uint16_t tag;
  const char* name;
};

// The baseline and fax tags of TIFF 6.0 and the few others fax software writes.
constexpr TagName kTagNames[] = {
    {254, "NewSubfileType"},
    {255, "SubfileType"},
    {256, "ImageWidth"},
    {257, "ImageLength"},
    {258, "BitsPerSample"},
    {259, "Compression"},
    {262, "PhotometricInterpretation"},
    {263, "Threshholding"},
    {266, "FillOrder"},
    {269, "DocumentName"},
    {270, "ImageDescription"},
    {271, "Make"},
    {272, "Model"},
    {273, "StripOffsets"},
    {274, "Orientation"},
    {277, "SamplesPerPixel"},
    {278, "RowsPerStrip"},
    {279, "StripByteCounts"},
    {280, "MinSampleValue"},
    {281, "MaxSampleValue"},
    {282, "XResolution"},
    {283, "YResolution"},
    {284, "PlanarConfiguration"},
    {285, "PageName"},
    {286, "XPosition"},
    {287, "YPosition"},
    {288, "FreeOffsets"},
    {289, "FreeByteCounts"},
    {290, "GrayResponseUnit"},
    {291, "GrayResponseCurve"},
    {292, "T4Options"},
    {293, "T6Options"},
    {296, "ResolutionUnit"},
    {297, "PageNumber"},
    {301, "TransferFunction"},
    {305, "Software"},
    {306, "DateTime"},
    {315, "Artist"},
    {316, "HostComputer"},
    {320, "ColorMap"},
    {322, "TileWidth"},
    {323, "TileLength"},
    {324, "TileOffsets"},
    {325, "TileByteCounts"},
    {326, "BadFaxLines"},
    {327, "CleanFaxData"},
    {328, "ConsecutiveBadFaxLines"},
    {330, "SubIFDs"},
    {338, "ExtraSamples"},
    {339, "SampleFormat"},
    {33432, "Copyright"},
};

// "1,204,332": offsets of a fax run to millions.
std::string WithThousands(uint64_t number) {
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// BeyondEnd says which field points past the end; the others their kind's text.
std::string FaultText(const TiffStatus& status) {
  const TiffPlace& place = status.place;
  if (status.fault != TiffFault::BeyondEnd || place.offset < 0) return DescribeTiffFault(status.fault);
  if (place.tag >= 0)
    return place.countPastEnd ? "count points past the end of the file" : "offset points past the end of the file";
  return place.countPastEnd ? "the directory's entry count points past the end of the file"
                            : "the directory offset points past the end of the file";
}

std::string OffsetText(const TiffStatus& status) {
  const TiffPlace& place = status.place;
  if (place.offset < 0) return "";
  std::string text = " (offset " + WithThousands(static_cast<uint64_t>(place.offset));
  if (status.fault == TiffFault::BeyondEnd) text += ", file " + WithThousands(place.fileSize) + " bytes";
  return text + ")";
}

}  // namespace

TiffStatus PastEnd(uint64_t offset, uint64_t size, uint64_t fileSize) {
  TiffStatus status = Fail(TiffFault::BeyondEnd);
  status.place.countPastEnd = offset < fileSize;
  status.place.offset = static_cast<int64_t>(status.place.countPastEnd ? offset + size : offset);
  status.place.fileSize = fileSize;
  return status;
}

// The helpers below keep what an inner routine already knew: it was nearer.
TiffStatus AtOffset(TiffStatus status, uint64_t offset) {
  if (status || status.place.offset >= 0) return status;
  status.place.offset = static_cast<int64_t>(offset);
  return status;
}

TiffStatus AtTag(TiffStatus status, uint16_t tag) {
  if (!status && status.place.tag < 0) status.place.tag = tag;
  return status;
}

TiffStatus OnPage(TiffStatus status, uint32_t page) {
  if (!status && status.place.page == 0) status.place.page = page;
  return status;
}

const char* DescribeTiffFault(TiffFault fault) {
  switch (fault) {
    case TiffFault::None:
      return "success";
    case TiffFault::CannotOpen:
      return "cannot open the file";
    case TiffFault::CannotCreate:
      return "cannot create the output file";
    case TiffFault::CannotRead:
      return "cannot read the file";
    case TiffFault::CannotWrite:
      return "cannot write the output file";
    case TiffFault::OutOfMemory:
      return "out of memory";
    case TiffFault::NotTiff:
      return "not a TIFF file";
    case TiffFault::BigEndian:
      return "big-endian (MM) TIFF files are not supported";
    case TiffFault::BeyondEnd:
      return "an offset or count points past the end of the file";
    case TiffFault::DirectoryLoop:
      return "the directory chain loops back on itself";
    case TiffFault::TooManyDirectories:
      return "more directories than a document may have";
    case TiffFault::TooManyEntries:
      return "a page would need more than 65535 directory entries";
    case TiffFault::NoKeptEntry:
      return "a directory has no entry up to tag 306";
    case TiffFault::NoStrip:
      return "a page has no usable strip of image data";
    case TiffFault::MultipleStrips:
      return "a page is stored in more than one strip";
    case TiffFault::TooLarge:
      return "the result would exceed the 4 GiB a TIFF file can address";
  }
  return "unknown failure";
}

std::string DescribeTiffTag(uint16_t tag) {
  const auto* found = std::find_if(std::begin(kTagNames), std::end(kTagNames),
                                   [tag](const TagName& known) { return known.tag == tag; });
  const std::string number = std::to_string(tag);
  return (found != std::end(kTagNames) ? std::string(found->name) : "tag " + number) + " (" + number + ")";
}

std::string DescribeTiffStatus(const TiffStatus& status) {
  const TiffPlace& place = status.place;
  std::string text;
  if (place.page != 0) text += "page " + std::to_string(place.page) + ": ";
  if (place.tag >= 0) text += DescribeTiffTag(static_cast<uint16_t>(place.tag)) + ": ";
  text += FaultText(status);
  if (status.systemError != 0) text += ": " + DescribeSystemError(status.systemError);
  return text + OffsetText(status);
}

uint32_t ErrorCodeOf(const TiffStatus& status) {
  switch (status.fault) {
    case TiffFault::None:
      return 0;
    case TiffFault::CannotOpen:
    case TiffFault::CannotCreate:
    case TiffFault::CannotRead:
    case TiffFault::CannotWrite:
      return status.systemError;
    case TiffFault::OutOfMemory:
      return kOutOfMemory;
    default:
      return kUnexpected;
  }
}

}  // namespace corvisk
