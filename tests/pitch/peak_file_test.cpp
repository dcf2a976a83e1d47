#include <cstdlib>
#include <cstring>

#include "peak_file_images.h"
#include "state/document.h"

namespace talvox::test {
namespace {

// Everything a refused read must leave alone.
struct DocumentSnapshot {
  TvxDocument record;
  std::vector<int32_t> peaks, pitch;
  std::vector<TvxElement> elements;
  int32_t peakRoom, pitchRoom;

  static DocumentSnapshot Take() {
    const DocumentState& doc = TheDocument();
    DocumentSnapshot s{doc.record, {}, {}, {}, doc.peakRoom, doc.pitchRoom};
    if (doc.record.peaks) s.peaks.assign(doc.record.peaks, doc.record.peaks + doc.peakRoom);
    if (doc.record.modifiedPitch) {
      s.pitch.assign(doc.record.modifiedPitch, doc.record.modifiedPitch + doc.pitchRoom);
    }
    s.elements.assign(doc.record.elements, doc.record.elements + doc.record.elementCapacity);
    return s;
  }
  void ExpectUnchanged() const {
    const DocumentSnapshot now = Take();
    EXPECT_EQ(std::memcmp(&record, &now.record, sizeof record), 0);
    EXPECT_EQ(peaks, now.peaks);
    EXPECT_EQ(pitch, now.pitch);
    EXPECT_EQ(peakRoom, now.peakRoom);
    EXPECT_EQ(pitchRoom, now.pitchRoom);
    EXPECT_EQ(
        std::memcmp(elements.data(), now.elements.data(), elements.size() * sizeof(TvxElement)), 0);
  }
};

class PeakFile : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    LoadSignal(std::vector<int16_t>(1000, 0), 1, 22050);
  }
  // Peaks 100, 180, ...; periods one less than the distance; three elements.
  void Annotate(int32_t peakCount) {
    DocumentState& doc = TheDocument();
    ResizePeakTable(doc, peakCount);
    ResizeModifiedPitch(doc, peakCount);
    for (int32_t i = 0; i < peakCount; ++i) {
      doc.record.peaks[i] = 100 + 80 * i;
      doc.record.modifiedPitch[i] = 79 - i;
    }
    doc.record.peakCount = peakCount;
    const char* names[] = {"SIL", "ma3", "SIL"};
    for (int i = 0; i < 3; ++i) {
      std::strcpy(doc.record.elements[i].desc, names[i]);
      doc.record.elements[i].start = 300 * i;
      doc.record.elements[i].end = 300 * (i + 1);
    }
    doc.record.elementCount = 3;
  }
  std::string Save() {
    const std::string path = dir.File("doc.peaks");
    EXPECT_EQ(SavePeaks(path.c_str()), 1);
    return path;
  }
  TvxDocument& Doc() { return TheDocument().record; }
  TempDir dir;
};

TEST_F(PeakFile, SizesAndLayoutOfKind3) {
  Annotate(0);
  auto bytes = ReadBytes(Save());
  EXPECT_EQ(bytes.size(), 36u + 3 * 112);
  Annotate(1);
  bytes = ReadBytes(Save());
  EXPECT_EQ(bytes.size(), 36u + 4 + 3 * 112);
  Annotate(5);
  bytes = ReadBytes(Save());
  ASSERT_EQ(bytes.size(), 36u + 20 + 16 + 3 * 112);
  std::vector<uint8_t> expected = PeakFileHeaderBytes("Peaks File", 3, 22050, 3, 5);
  PutValues(expected, {100, 180, 260, 340, 420, 79, 78, 77, 76});
  PutRecord(expected, "SIL", 0, 300);
  PutRecord(expected, "ma3", 300, 600);
  PutRecord(expected, "SIL", 600, 900);
  EXPECT_EQ(bytes, expected);
}

TEST_F(PeakFile, SavedFileCarriesTheWaveRate) {
  Annotate(2);
  Doc().peakRate = 8000;
  GetWaveFileHead()->samplesPerSec = 11025;
  const auto bytes = ReadBytes(Save());
  int32_t rate;
  std::memcpy(&rate, bytes.data() + 24, 4);
  EXPECT_EQ(rate, 11025);
  EXPECT_EQ(Doc().peakRate, 11025);
}

TEST_F(PeakFile, RoundTripRestoresTheAnnotation) {
  Annotate(6);
  const std::string path = Save();
  const DocumentSnapshot saved = DocumentSnapshot::Take();
  FreeTalvox();
  InitTalvox();
  ASSERT_EQ(ReadPeaks(path.c_str()), 1);
  EXPECT_EQ(Doc().peakCount, 6);
  EXPECT_EQ(Doc().elementCount, 3);
  EXPECT_EQ(Doc().segmented, 1);
  EXPECT_EQ(Doc().peakRate, 22050);
  EXPECT_EQ(TheDocument().peakRoom, 6);
  EXPECT_EQ(TheDocument().pitchRoom, 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Doc().peaks[i], saved.peaks[i]);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Doc().modifiedPitch[i], saved.pitch[i]);
  EXPECT_EQ(std::memcmp(Doc().elements, saved.elements.data(), 3 * sizeof(TvxElement)), 0);
}

TEST_F(PeakFile, NoPeaksReadBackAsEmptyTables) {
  Annotate(0);
  const std::string path = Save();
  Annotate(4);
  ASSERT_EQ(ReadPeaks(path.c_str()), 1);
  EXPECT_EQ(Doc().peakCount, 0);
  EXPECT_EQ(Doc().peaks, nullptr);
  EXPECT_EQ(Doc().modifiedPitch, nullptr);
  EXPECT_EQ(TheDocument().peakRoom, 0);
}

TEST_F(PeakFile, MissingPeriodsAreSavedAsZero) {
  Annotate(3);
  ResizeModifiedPitch(TheDocument(), 0);
  const auto bytes = ReadBytes(Save());
  ASSERT_EQ(bytes.size(), 36u + 12 + 8 + 3 * 112);
  for (int i = 48; i < 56; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST_F(PeakFile, TagFileTypeAndKind2) {
  Annotate(0);
  auto image = PeakFileHeaderBytes("Tag File", 2, 16000, 2, 4);
  PutValues(image, {0, 400, 400, 900});  // bounds
  PutValues(image, {-1, -1, -1, -1});    // second pair block, unused
  PutValues(image, {10, 30, 60, 100});   // peaks from offset 36 + 16 x 2
  const std::string path = dir.File("k2.tag");
  WriteBytes(path, image);
  ASSERT_EQ(ReadPeaks(path.c_str()), 1);
  EXPECT_EQ(Doc().elementCount, 2);
  EXPECT_STREQ(Doc().elements[0].desc, "SIL");  // descriptions stay
  EXPECT_STREQ(Doc().elements[1].desc, "ma3");
  EXPECT_EQ(Doc().elements[1].start, 400);
  EXPECT_EQ(Doc().elements[1].end, 900);
  ASSERT_EQ(Doc().peakCount, 4);
  EXPECT_EQ(Doc().peaks[3], 100);
  EXPECT_EQ(Doc().modifiedPitch[0], 20);
  EXPECT_EQ(Doc().modifiedPitch[1], 30);
  EXPECT_EQ(Doc().modifiedPitch[2], 40);
  EXPECT_EQ(Doc().peakRate, 16000);

  image = PeakFileHeaderBytes("Tag File", 3, 8000, 1, 0);
  PutRecord(image, "a1", 0, 5);
  WriteBytes(path, image);
  ASSERT_EQ(ReadPeaks(path.c_str()), 1);
  EXPECT_STREQ(Doc().elements[0].desc, "a1");
}

TEST_F(PeakFile, MalformedFilesChangeNothing) {
  Annotate(4);
  Doc().peakRate = 12345;
  auto withBody = [](std::vector<uint8_t> header, std::size_t bodyBytes) {
    header.resize(header.size() + bodyBytes, 0);
    return header;
  };
  std::vector<uint8_t> unterminated(20, 'x');
  PutValues(unterminated, {3, 16000, 0, 0});
  const std::vector<std::vector<uint8_t>> bad = {
      {},
      std::vector<uint8_t>(20, 0),
      withBody(PeakFileHeaderBytes("Peaks File", 3, 1, 2, 3), 10),        // short
      withBody(PeakFileHeaderBytes("Peaks File", 3, 1, 2, 3), 20 + 223),  // one byte short
      withBody(PeakFileHeaderBytes("Peaks File", 2, 1, 2, 3), 43),
      withBody(PeakFileHeaderBytes("Peaks File", 3, 1, -1, 0), 100),
      withBody(PeakFileHeaderBytes("Peaks File", 3, 1, 0, -5), 100),
      withBody(PeakFileHeaderBytes("Peaks File", 3, 1, 10001, 0), 10001 * 112),
      withBody(PeakFileHeaderBytes("Peaks", 3, 1, 0, 0), 0),
      withBody(PeakFileHeaderBytes("Peaks File ", 3, 1, 0, 0), 0),
      unterminated,
  };
  const std::string path = dir.File("bad.peaks");
  for (std::size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    WriteBytes(path, bad[i]);
    const DocumentSnapshot before = DocumentSnapshot::Take();
    EXPECT_EQ(ReadPeaks(path.c_str()), 0);
    before.ExpectUnchanged();
  }
  EXPECT_EQ(ReadPeaks(dir.File("missing").c_str()), 0);
}

TEST_F(PeakFile, OtherKindChangesOnlyThePeakRate) {
  Annotate(4);
  const std::string path = dir.File("k4.peaks");
  WriteBytes(path, PeakFileHeaderBytes("Peaks File", 4, 9999, 0, 0));
  DocumentSnapshot before = DocumentSnapshot::Take();
  EXPECT_EQ(ReadPeaks(path.c_str()), 0);
  EXPECT_EQ(Doc().peakRate, 9999);
  before.record.peakRate = 9999;
  before.ExpectUnchanged();
}

TEST_F(PeakFile, NullRecordAndFailedSave) {
  Annotate(2);
  EXPECT_EQ(_SavePeaks(dir.File("x").c_str(), nullptr), 0);
  EXPECT_EQ(_ReadPeaks(dir.File("x").c_str(), nullptr), 0);
  EXPECT_FALSE(FileExists(dir.File("x")));
  EXPECT_EQ(SavePeaks(dir.File("no/folder/x").c_str()), 0);
  const std::string path = dir.File("keep");
  WriteBytes(path, {1, 2, 3});
  EXPECT_EQ(SavePeaks(dir.path().c_str()), 0);  // a folder cannot be replaced
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(PeakFile, HostRecordIsReallocated) {
  Annotate(5);
  const std::string path = Save();
  std::vector<TvxElement> table(20);
  TvxDocument host{};
  host.elements = table.data();
  host.elementCapacity = 20;
  host.peaks = static_cast<int32_t*>(std::malloc(4));
  ASSERT_EQ(_ReadPeaks(path.c_str(), &host), 1);
  EXPECT_EQ(host.peakCount, 5);
  EXPECT_EQ(host.peaks[4], 420);
  EXPECT_EQ(host.modifiedPitch[3], 76);
  EXPECT_EQ(host.elementCount, 3);
  EXPECT_STREQ(table[1].desc, "ma3");
  host.elementCapacity = 2;  // too small a table: refused
  EXPECT_EQ(_ReadPeaks(path.c_str(), &host), 0);
  const std::string copy = dir.File("copy.peaks");
  host.elementCapacity = 20;
  ASSERT_EQ(_SavePeaks(copy.c_str(), &host), 1);
  EXPECT_EQ(ReadBytes(copy), ReadBytes(path));
  std::free(host.peaks);
  std::free(host.modifiedPitch);
}

}  // namespace
}  // namespace talvox::test
