// The editor's API over HTTP, as the page uses it: every route, what it
// refuses, and that each change is the library's own operation.
#include <gtest/gtest.h>
#include <httplib.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "annotation_tiers.h"
#include "editor_document.h"
#include "interval_f0.h"
#include "test_support.h"
#include "textgrid.h"
#include "view_server.h"

namespace tvx::view {
namespace {

using nlohmann::json;
using talvox::test::TempDir;

constexpr int kRate = 16000;

struct Table {
  std::vector<ElementView> elements;
  std::vector<int32_t> peaks;
  std::vector<int32_t> periods;
  std::vector<int16_t> samples;
};

class ViewApiTest : public talvox::test::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    // Two voiced stretches with silences around them, marked by the library.
    std::vector<int16_t> signal = talvox::test::VoicedSignal(3200, 8000, 3200, 128, 9000);
    std::vector<int16_t> second = talvox::test::VoicedSignal(0, 8000, 3200, 100, 7000);
    signal.insert(signal.end(), second.begin(), second.end());
    talvox::test::LoadSignal(signal, 1, kRate);
    ASSERT_GT(CalculatePitch(GetDataBuffer(0), GetWaveLength(), kRate), 10);
    ASSERT_GE(GetElementNum(), 3);
    document_ = std::make_unique<EditorDocument>(
        DocumentPaths{dir_.File("in.wav"), dir_.File("in.peaks"), "in.wav", dir_.File("in.TextGrid")});
    server_ = std::make_unique<ViewServer>(*document_, std::string(32, 'c'));
    port_ = server_->Bind(0);
    thread_ = std::thread([this] { server_->Run(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    prefix_ = "/" + std::string(32, 'c');
  }
  void TearDown() override {
    server_->Stop();
    thread_.join();
    server_.reset();
    document_.reset();
    DocumentTest::TearDown();
  }

  httplib::Result Get(const std::string& route) { return client_->Get((prefix_ + route).c_str()); }
  httplib::Result Post(const std::string& route, const json& body) {
    return client_->Post((prefix_ + route).c_str(), body.dump(), "application/json");
  }
  json GetJson(const std::string& route) {
    auto result = Get(route);
    EXPECT_TRUE(result) << route;
    if (!result) return json();
    EXPECT_EQ(result->status, 200) << route << ": " << result->body;
    return json::parse(result->body);
  }
  // The document as the library holds it.
  Table Now() {
    Table t{document_->Elements(), document_->Peaks(), document_->ModifiedPitch(), {}};
    t.samples.assign(GetDataBuffer(0), GetDataBuffer(0) + GetWaveLength());
    return t;
  }
  static void ExpectSame(const Table& a, const Table& b) {
    EXPECT_TRUE(a.elements == b.elements);
    EXPECT_EQ(a.peaks, b.peaks);
    EXPECT_EQ(a.periods, b.periods);
    EXPECT_EQ(a.samples, b.samples);
  }
  // Posts a change the document must refuse: 409 and nothing changed.
  void ExpectRefused(const std::string& route, const json& body) {
    Table before = Now();
    uint64_t version = document_->Version();
    auto result = Post(route, body);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 409) << route << " " << body.dump() << ": " << result->body;
    EXPECT_TRUE(json::parse(result->body).contains("error"));
    EXPECT_EQ(document_->Version(), version);
    ExpectSame(Now(), before);
  }
  void ExpectBad(const std::string& route, const json& body) {
    uint64_t version = document_->Version();
    auto result = Post(route, body);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 400) << route << " " << body.dump() << ": " << result->body;
    EXPECT_EQ(document_->Version(), version);
  }
  // The served marks of a stretch, unpacked.
  struct ServedMarks {
    int32_t inside = 0, step = 0;
    std::vector<int32_t> peaks, starts, ends, periods;
    std::vector<float> modified;
    size_t bytes = 0;
  };
  ServedMarks GetMarks(const std::string& query) {
    ServedMarks m;
    auto result = Get("/api/marks" + query);
    EXPECT_TRUE(result && result->status == 200) << query << (result ? result->body : "");
    if (!result || result->status != 200 || result->body.size() < 16) return m;
    const std::string& body = result->body;
    m.bytes = body.size();
    int32_t header[4];
    std::memcpy(header, body.data(), 16);
    m.inside = header[0];
    m.step = header[1];
    size_t at = 16;
    auto take = [&](auto& into, size_t n) {
      into.resize(n);
      EXPECT_LE(at + 4 * n, body.size());
      if (n == 0 || at + 4 * n > body.size()) return;
      std::memcpy(into.data(), body.data() + at, 4 * n);
      at += 4 * n;
    };
    take(m.peaks, size_t(header[2]));
    for (auto* list : {&m.starts, &m.ends, &m.periods}) take(*list, size_t(header[3]));
    take(m.modified, size_t(header[3]));
    EXPECT_EQ(at, body.size());
    return m;
  }
  struct ServedF0 {
    int32_t ready = 0, current = 0, version = 0, hop = 0, first = 0, step = 0;
    float low = 0, high = 0;
    std::vector<float> values;
  };
  ServedF0 GetF0(const std::string& query) {
    ServedF0 f;
    auto result = Get("/api/f0" + query);
    EXPECT_TRUE(result && result->status == 200) << query << (result ? result->body : "");
    if (!result || result->status != 200 || result->body.size() < 36) return f;
    int32_t header[7];
    std::memcpy(header, result->body.data(), 28);
    f.ready = header[0], f.current = header[1], f.version = header[2], f.hop = header[3], f.first = header[4],
    f.step = header[5];
    std::memcpy(&f.low, result->body.data() + 28, 4);
    std::memcpy(&f.high, result->body.data() + 32, 4);
    EXPECT_EQ(result->body.size(), 36u + 4u * size_t(header[6]));
    f.values.resize(size_t(header[6]));
    if (!f.values.empty()) std::memcpy(f.values.data(), result->body.data() + 36, 4 * f.values.size());
    return f;
  }
  // The voice tracker's frames of the wave buffer, every 5 ms.
  static std::vector<float> DirectTrack() {
    int32_t frames = _CalculateF0Track(GetDataBuffer(0), GetWaveLength(), kRate, 0, 0, 80, nullptr, 0);
    std::vector<float> f0(size_t(std::max(frames, 0)));
    _CalculateF0Track(GetDataBuffer(0), GetWaveLength(), kRate, 0, 0, 80, f0.data(), frames);
    return f0;
  }

  int32_t VoicedElement() {
    auto elements = document_->Elements();
    for (size_t i = 0; i < elements.size(); i++)
      if (elements[i].desc != "SIL" && elements[i].end - elements[i].start > 4000) return int32_t(i);
    ADD_FAILURE() << "no voiced element";
    return 0;
  }

  TempDir dir_;
  std::unique_ptr<EditorDocument> document_;
  std::unique_ptr<ViewServer> server_;
  std::thread thread_;
  std::unique_ptr<httplib::Client> client_;
  std::string prefix_;
  int port_ = 0;
};

TEST_F(ViewApiTest, EveryRequestNeedsTheTokenOurHostAndNoForeignOrigin) {
  EXPECT_EQ(client_->Get("/api/info")->status, 403);
  EXPECT_EQ(client_->Get("/")->status, 403);
  EXPECT_EQ(client_->Get(("/" + std::string(32, 'd') + "/api/info").c_str())->status, 403);
  EXPECT_EQ(client_->Post("/api/undo", "{}", "application/json")->status, 403);
  EXPECT_EQ(Get("/api/info")->status, 200);
  std::string port = std::to_string(port_);
  EXPECT_EQ(client_->Get((prefix_ + "/api/info").c_str(), {{"Host", "attacker.example:" + port}})->status, 403);
  EXPECT_EQ(client_->Get((prefix_ + "/api/info").c_str(), {{"Origin", "http://attacker.example"}})->status, 403);
  EXPECT_EQ(client_->Get((prefix_ + "/api/info").c_str(), {{"Origin", "http://127.0.0.1:" + port}})->status, 200);
  // A foreign page posting a change gets nowhere, and nothing changes.
  uint64_t version = document_->Version();
  auto result = client_->Post((prefix_ + "/api/edit/delete").c_str(), {{"Origin", "http://attacker.example"}},
                              R"({"from":0,"to":100})", "application/json");
  EXPECT_EQ(result->status, 403);
  EXPECT_EQ(document_->Version(), version);
  EXPECT_EQ(Get("/api/nothing")->status, 404);
  auto page = Get("/");
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("assets/app.js"), std::string::npos);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"), std::string::npos);
  for (const char* asset : {"app.js", "api.js", "draw.js", "viewport.js", "style.css"})
    EXPECT_EQ(Get(std::string("/assets/") + asset)->status, 200) << asset;
  EXPECT_EQ(Get("/assets/missing.js")->status, 404);
  EXPECT_EQ(Get("/assets/../view_server.cpp")->status, 404);
}

TEST_F(ViewApiTest, ReadsDescribeTheDocument) {
  json info = GetJson("/api/info");
  EXPECT_EQ(info["rate"], kRate);
  EXPECT_EQ(info["channels"], 1);
  EXPECT_EQ(info["length"], GetWaveLength());
  EXPECT_FALSE(info["canUndo"]);
  json elements = GetJson("/api/elements")["elements"];
  ASSERT_EQ(int32_t(elements.size()), GetElementNum());
  for (int32_t i = 0; i < GetElementNum(); i++) {
    int32_t start, end;
    GetElementSegment(i, &start, &end);
    EXPECT_EQ(elements[i]["start"], start);
    EXPECT_EQ(elements[i]["end"], end);
  }
  int32_t* peaks = nullptr;
  int32_t count = GetFullPeaks(&peaks);
  json marks = GetJson("/api/marks?format=json");
  EXPECT_EQ(marks["peaks"].get<std::vector<int32_t>>(), std::vector<int32_t>(peaks, peaks + count));
  // The binary marks of the whole signal: every mark and interval.
  ServedMarks all = GetMarks("");
  EXPECT_EQ(all.inside, count);
  EXPECT_EQ(all.step, 1);
  EXPECT_EQ(all.peaks, std::vector<int32_t>(peaks, peaks + count));
  ASSERT_EQ(all.starts.size(), size_t(count - 1));
  EXPECT_EQ(all.ends.back(), peaks[count - 1]);
  // The first voiced interval's modified F0: a 128-sample period.
  EXPECT_NEAR(all.modified[5], kRate / 128.0, 3.0);

  // Waveform columns: min and max of each column's samples.
  auto wave = Get("/api/wave?from=100&to=1100&columns=10");
  ASSERT_EQ(wave->body.size(), 10u * 4);
  const int16_t* values = reinterpret_cast<const int16_t*>(wave->body.data());
  const int16_t* samples = GetDataBuffer(0);
  for (int k = 0; k < 10; k++) {
    auto [low, high] = std::minmax_element(samples + 100 + 100 * k, samples + 200 + 100 * k);
    EXPECT_EQ(values[2 * k], *low);
    EXPECT_EQ(values[2 * k + 1], *high);
  }
  EXPECT_EQ(Get("/api/spectrogram?from=0&to=16000&columns=300")->body.size(), 300u * 64);

  // The hit test is the library's, with the display's scale.
  int32_t start, end;
  GetElementSegment(1, &start, &end);
  json hit = GetJson("/api/hit?position=" + std::to_string(start + 3) + "&scale=0.5");
  int32_t side = 0;
  EXPECT_EQ(hit["boundary"]["element"], GetNearestElementBoundary(start + 3, &side, 0.5f));
  EXPECT_EQ(hit["boundary"]["side"], side);
  EXPECT_EQ(hit["boundary"]["position"], start);
  json far = GetJson("/api/hit?position=" + std::to_string(start + 50) + "&scale=1");
  EXPECT_TRUE(far["boundary"].is_null());
  json mark = GetJson("/api/hit?position=" + std::to_string(peaks[3] + 2) + "&scale=1");
  EXPECT_EQ(mark["mark"]["index"], 3);
  EXPECT_EQ(mark["mark"]["position"], peaks[3]);

  // Audio: the signal itself, and the resynthesis the library makes.
  auto audio = Get("/api/audio?from=1000&to=3000");
  ASSERT_EQ(audio->body.size(), 44u + 4000);
  EXPECT_EQ(std::memcmp(audio->body.data() + 44, samples + 1000, 4000), 0);
  EXPECT_EQ(audio->get_header_value("X-Talvox-Samples"), "2000");
  int32_t v = VoicedElement();
  GetElementSegment(v, &start, &end);
  auto resynthesis = Get("/api/resynthesis?from=" + std::to_string(start) + "&to=" + std::to_string(end));
  ASSERT_EQ(resynthesis->status, 200) << resynthesis->body;
  ASSERT_EQ(SynthesisSpeechStretch(0, start, end, 1.0f), 1);
  ASSERT_EQ(GetSynthesisLength(), end - start);  // the timing kept
  ASSERT_EQ(resynthesis->body.size(), 44u + 2u * GetSynthesisLength());
  EXPECT_EQ(std::memcmp(resynthesis->body.data() + 44, GetSynthesisSpeech(), 2 * GetSynthesisLength()), 0);
}

TEST_F(ViewApiTest, BadReadsAreRefusedWithTheReason) {
  std::string length = std::to_string(GetWaveLength());
  for (std::string route : std::vector<std::string>{"/api/wave?from=0&to=10", "/api/wave?from=0&to=10&columns=0",
                            "/api/wave?from=-1&to=10&columns=5", "/api/wave?from=20&to=10&columns=5",
                            "/api/wave?from=0&to=" + length + "1&columns=5", "/api/wave?from=x&to=10&columns=5",
                            "/api/wave?from=0&to=10&columns=99999999", "/api/spectrogram?from=0&to=10&columns=5&channel=2",
                            "/api/hit?position=10", "/api/hit?position=10&scale=0", "/api/hit?position=10&scale=-1",
                            "/api/hit?position=10&scale=nan", "/api/audio?from=5&to=5", "/api/audio?from=9&to=5"}) {
    auto result = Get(route);
    ASSERT_TRUE(result) << route;
    EXPECT_TRUE(result->status == 400 || result->status == 409) << route << " " << result->status;
    EXPECT_TRUE(json::parse(result->body).contains("error")) << route;
  }
}

TEST_F(ViewApiTest, BoundaryChangesAreTheLibrarysAndSnapToZeroCrossings) {
  int32_t start, end;
  GetElementSegment(1, &start, &end);
  int32_t target = start + 40;
  int32_t snapped = GetClosedZerocross(target, 0);
  json info = json::parse(Post("/api/boundary/move", {{"element", 1}, {"side", 1}, {"position", target}})->body);
  EXPECT_TRUE(info["canUndo"]);
  EXPECT_EQ(info["undoLabel"], "move boundary");
  int32_t moved, previousEnd, unused;
  GetElementSegment(1, &moved, &unused);
  GetElementSegment(0, &unused, &previousEnd);
  EXPECT_EQ(moved, snapped);
  EXPECT_EQ(previousEnd, snapped);
  // Without snapping the position is taken as it is.
  Post("/api/boundary/move", {{"element", 1}, {"side", 1}, {"position", target + 3}, {"snap", "none"}});
  GetElementSegment(1, &moved, &unused);
  EXPECT_EQ(moved, target + 3);

  int32_t count = GetElementNum();
  int32_t v = VoicedElement();
  GetElementSegment(v, &start, &end);
  int32_t middle = (start + end) / 2;
  EXPECT_EQ(Post("/api/boundary/add", {{"position", middle}, {"snap", "none"}})->status, 200);
  EXPECT_EQ(GetElementNum(), count + 1);
  EXPECT_EQ(GetElement(middle), v + 1);
  ExpectRefused("/api/boundary/add", {{"position", middle}, {"snap", "none"}});  // on a boundary
  EXPECT_EQ(Post("/api/boundary/delete", {{"element", v + 1}, {"side", 1}})->status, 200);
  EXPECT_EQ(GetElementNum(), count);
  ExpectRefused("/api/boundary/delete", {{"element", 0}, {"side", 1}});
  ExpectRefused("/api/boundary/delete", {{"element", count - 1}, {"side", 2}});
  ExpectRefused("/api/boundary/delete", {{"element", count}, {"side", 2}});
  ExpectRefused("/api/boundary/move", {{"element", count}, {"side", 1}, {"position", 5}});
  ExpectRefused("/api/boundary/move", {{"element", 1}, {"side", 3}, {"position", 5}});
  ExpectRefused("/api/boundary/move", {{"element", 1}, {"side", 1}, {"position", -5}});
  ExpectBad("/api/boundary/move", {{"element", "1"}, {"side", 1}, {"position", 5}});
  ExpectBad("/api/boundary/move", {{"element", 1}, {"side", 1}});
  ExpectBad("/api/boundary/move", {{"element", 1}, {"side", 1}, {"position", 5}, {"snap", "sideways"}});
  ExpectBad("/api/boundary/move", {{"element", 1}, {"side", 1}, {"position", 1e12}});
  ExpectBad("/api/boundary/move", {{"element", 1.5}, {"side", 1}, {"position", 5}});
}

TEST_F(ViewApiTest, DescriptionsHoldAtMost103Characters) {
  EXPECT_EQ(Post("/api/description", {{"element", 1}, {"text", "ma3"}})->status, 200);
  EXPECT_EQ(document_->Elements()[1].desc, "ma3");
  EXPECT_EQ(Post("/api/description", {{"element", 1}, {"text", std::string(103, 'x')}})->status, 200);
  ExpectRefused("/api/description", {{"element", 1}, {"text", std::string(104, 'x')}});
  ExpectRefused("/api/description", {{"element", -1}, {"text", "a"}});
  ExpectRefused("/api/description", {{"element", 1}, {"text", std::string("a\0b", 3)}});
  ExpectBad("/api/description", {{"element", 1}, {"text", 5}});
  // Text that is not UTF-8 is still served as valid JSON.
  SetElementDesc(2, "\xff\xfe");
  EXPECT_EQ(Get("/api/elements")->status, 200);
}

TEST_F(ViewApiTest, MarkChangesKeepPeriodsOfUntouchedIntervals) {
  std::vector<int32_t> peaks = document_->Peaks();
  ASSERT_GT(peaks.size(), 20u);
  // Give the intervals periods of their own, then move mark 10.
  std::vector<int32_t> periods = document_->ModifiedPitch();
  for (auto& p : periods) p += 7;
  ASSERT_EQ(SetModifiedPitch(periods.data()), 1);
  int32_t target = peaks[10] + 9;
  int32_t snapped = GetClosedMaximumPeak(target, 0);
  ASSERT_EQ(Post("/api/mark/move", {{"from", peaks[10] + 1}, {"to", target}, {"scale", 1.0}})->status, 200);
  std::vector<int32_t> now = document_->Peaks();
  std::vector<int32_t> nowPeriods = document_->ModifiedPitch();
  ASSERT_EQ(now.size(), peaks.size());
  EXPECT_EQ(now[10], snapped);
  ASSERT_EQ(nowPeriods.size(), now.size() - 1);
  for (size_t j = 0; j + 1 < now.size(); j++) {
    if (j == 9 || j == 10) EXPECT_EQ(nowPeriods[j], now[j + 1] - now[j]) << j;
    else EXPECT_EQ(nowPeriods[j], periods[j]) << j;
  }
  // Add one between marks 20 and 21 without snapping, delete it again.
  int32_t between = (peaks[20] + peaks[21]) / 2;
  ASSERT_EQ(Post("/api/mark/add", {{"position", between}, {"snap", "none"}})->status, 200);
  EXPECT_EQ(document_->Peaks()[21], between);
  ExpectRefused("/api/mark/add", {{"position", between}, {"snap", "none"}});  // taken
  ExpectRefused("/api/mark/add", {{"position", 0}, {"snap", "none"}});
  ExpectRefused("/api/mark/add", {{"position", GetWaveLength()}});
  ASSERT_EQ(Post("/api/mark/delete", {{"position", between}, {"scale", 1.0}})->status, 200);
  EXPECT_EQ(document_->Peaks().size(), peaks.size());
  ExpectRefused("/api/mark/delete", {{"position", 1}, {"scale", 1.0}});
  ExpectRefused("/api/mark/delete", {{"position", between}, {"scale", 0}});
  ExpectRefused("/api/mark/move", {{"from", 1}, {"to", 50}, {"scale", 1.0}});
  ExpectRefused("/api/mark/move", {{"from", peaks[5]}, {"to", peaks[6]}, {"scale", 1.0}, {"snap", "none"}});
  ExpectBad("/api/mark/move", {{"from", peaks[5]}, {"to", 5}});
}

TEST_F(ViewApiTest, PitchStrokesAndScalesSetThePeriods) {
  int32_t v = VoicedElement();
  int32_t start, end;
  GetElementSegment(v, &start, &end);
  std::vector<int32_t> peaks = document_->Peaks();
  ASSERT_EQ(Post("/api/pitch/draw", {{"points", {{start, 100.0}, {end, 200.0}}}})->status, 200);
  std::vector<int32_t> periods = document_->ModifiedPitch();
  int changed = 0;
  for (size_t j = 0; j + 1 < peaks.size(); j++) {
    double middle = (double(peaks[j]) + peaks[j + 1]) / 2;
    if (middle < start || middle > end) {
      EXPECT_EQ(periods[j], peaks[j + 1] - peaks[j]) << j;
      continue;
    }
    double hertz = 100.0 + 100.0 * (middle - start) / (end - start);
    EXPECT_EQ(periods[j], int32_t(kRate / hertz)) << j;
    changed++;
  }
  EXPECT_GT(changed, 10);
  // A scale of 0.5 doubles every period inside; the timing is kept, so the
  // stretch heard lasts exactly as long as the one selected, but differs.
  ASSERT_EQ(Post("/api/pitch/scale", {{"from", start}, {"to", end}, {"factor", 0.5}})->status, 200);
  auto resynthesis = Get("/api/resynthesis?from=" + std::to_string(start) + "&to=" + std::to_string(end));
  ASSERT_EQ(resynthesis->body.size(), 44u + 2u * size_t(end - start));
  EXPECT_NE(std::memcmp(resynthesis->body.data() + 44, GetDataBuffer(0) + start, 2 * size_t(end - start)), 0);
  ASSERT_EQ(Post("/api/pitch/scale", {{"from", start}, {"to", end}, {"factor", 1.0}})->status, 200);
  ExpectRefused("/api/pitch/draw", {{"points", {{start, 5.0}}}});
  ExpectRefused("/api/pitch/draw", {{"points", json::array()}});
  ExpectRefused("/api/pitch/draw", {{"points", {{1, 100.0}, {2, 100.0}}}});  // no interval under it
  ExpectRefused("/api/pitch/scale", {{"from", start}, {"to", end}, {"factor", 0.0}});
  ExpectBad("/api/pitch/draw", {{"points", {{start}}}});
  ExpectBad("/api/pitch/draw", {{"points", 3}});
}

TEST_F(ViewApiTest, CutPasteUndoRedoGoThroughTheLibraryAndComeBackExactly) {
  Table original = Now();
  int32_t length = GetWaveLength();
  ExpectRefused("/api/edit/paste", {{"from", 10}, {"to", 10}});  // nothing copied yet
  ASSERT_EQ(Post("/api/edit/cut", {{"from", 4000}, {"to", 6000}})->status, 200);
  EXPECT_EQ(GetWaveLength(), length - 2000);
  EXPECT_TRUE(GetJson("/api/info")["clipboard"]);
  Table cut = Now();
  ASSERT_EQ(Post("/api/edit/paste", {{"from", 4000}, {"to", 4000}})->status, 200);
  EXPECT_EQ(GetWaveLength(), length);
  EXPECT_EQ(Now().samples, original.samples);
  ASSERT_EQ(Post("/api/edit/delete", {{"from", 100}, {"to", 200}})->status, 200);
  ASSERT_EQ(Post("/api/edit/copy", {{"from", 0}, {"to", 50}})->status, 200);
  EXPECT_EQ(GetWaveLength(), length - 100);

  ASSERT_EQ(Post("/api/undo", json::object())->status, 200);  // the deletion
  ASSERT_EQ(Post("/api/undo", json::object())->status, 200);  // the paste
  ExpectSame(Now(), cut);
  ASSERT_EQ(Post("/api/undo", json::object())->status, 200);  // the cut
  ExpectSame(Now(), original);
  ExpectRefused("/api/undo", json::object());
  ASSERT_EQ(Post("/api/redo", json::object())->status, 200);
  ExpectSame(Now(), cut);
  ASSERT_EQ(Post("/api/undo", json::object())->status, 200);
  ExpectSame(Now(), original);
  // A new change drops what could be redone.
  ASSERT_EQ(Post("/api/description", {{"element", 0}, {"text", "x"}})->status, 200);
  ExpectRefused("/api/redo", json::object());

  ExpectRefused("/api/edit/cut", {{"from", 10}, {"to", 10}});
  ExpectRefused("/api/edit/delete", {{"from", 0}, {"to", GetWaveLength()}});  // would leave nothing
  ExpectRefused("/api/edit/cut", {{"from", -5}, {"to", 10}});
  ExpectRefused("/api/edit/delete", {{"from", 0}, {"to", GetWaveLength() + 1}});
  ExpectBad("/api/edit/cut", {{"from", 10}});
}

TEST_F(ViewApiTest, ChangesNeedAJsonBody) {
  uint64_t version = document_->Version();
  for (auto [body, type] : std::vector<std::pair<std::string, std::string>>{
           {R"({"from":1,"to":100})", "text/plain"}, {"from=1&to=100", "application/x-www-form-urlencoded"},
           {"{not json", "application/json"}, {"[1,2]", "application/json"}, {"", "application/json"}}) {
    auto result = client_->Post((prefix_ + "/api/edit/delete").c_str(), body, type.c_str());
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 400) << body << " " << type;
  }
  EXPECT_EQ(document_->Version(), version);
}

TEST_F(ViewApiTest, SavingWritesWhatTheLibraryReadsBack) {
  ASSERT_EQ(Post("/api/description", {{"element", 1}, {"text", "kept"}})->status, 200);
  ASSERT_EQ(Post("/api/edit/delete", {{"from", 100}, {"to", 300}})->status, 200);
  Table saved = Now();
  EXPECT_EQ(json::parse(Post("/api/save/peaks", json::object())->body)["saved"], dir_.File("in.peaks"));
  EXPECT_EQ(json::parse(Post("/api/save/wave", json::object())->body)["saved"], dir_.File("in.wav"));
  InitTalvox();
  ASSERT_EQ(ReadWaveFile(1, dir_.File("in.wav").c_str(), 0, 0), 1);
  ASSERT_EQ(ReadPeaks(dir_.File("in.peaks").c_str()), 1);
  Table loaded = Now();
  EXPECT_TRUE(loaded.elements == saved.elements);
  EXPECT_EQ(loaded.peaks, saved.peaks);
  EXPECT_EQ(loaded.samples, saved.samples);
}

// The F0 the page draws is the library's voice tracker over the signal as
// it is now; it is recomputed after changes of the samples only, and each
// answer says whether the track is of the present signal.
TEST_F(ViewApiTest, F0IsTheVoiceTrackOfThePresentSignal) {
  ASSERT_TRUE(document_->WaitForF0(std::chrono::seconds(30)));
  auto whole = [] { return "?from=0&to=" + std::to_string(GetWaveLength()) + "&columns=16384"; };
  ServedF0 f0 = GetF0(whole());
  EXPECT_TRUE(f0.ready);
  EXPECT_TRUE(f0.current);
  EXPECT_EQ(f0.hop, 80);
  EXPECT_EQ(f0.first, 0);
  EXPECT_EQ(f0.step, 1);
  std::vector<float> direct = DirectTrack();
  EXPECT_EQ(f0.values, direct);
  // The two voiced stretches: periods of 128 and 100 samples.
  EXPECT_NEAR(f0.values[(3200 + 4000) / 80], kRate / 128.0, 2.0);
  EXPECT_NEAR(f0.values[(14400 + 4000) / 80], kRate / 100.0, 2.0);
  EXPECT_EQ(f0.values[1000 / 80], 0.0f);  // the leading silence
  EXPECT_GT(f0.low, 100.0f);
  EXPECT_LT(f0.high, 200.0f);
  EXPECT_GE(f0.high, f0.low);
  // A stretch, thinned to two frames a column.
  ServedF0 part = GetF0("?from=8000&to=16000&columns=10");
  EXPECT_EQ(part.first, 100);
  EXPECT_EQ(part.step, 5);
  for (size_t k = 0; k < part.values.size(); k++) EXPECT_EQ(part.values[k], direct[100 + 5 * k]) << k;

  // Marks and pitch leave the signal, and so the track, as they were.
  json info = GetJson("/api/info");
  uint64_t signalVersion = info["signalVersion"];
  std::vector<int32_t> peaks = document_->Peaks();
  json move = {{"from", peaks[10]}, {"to", peaks[10] + 5}, {"scale", 1.0}, {"snap", "none"}};
  ASSERT_EQ(Post("/api/mark/move", move)->status, 200);
  info = GetJson("/api/info");
  EXPECT_EQ(info["signalVersion"], signalVersion);
  EXPECT_TRUE(info["f0Current"]);
  EXPECT_TRUE(GetF0(whole()).current);

  // A cut changes the samples: the answer says whether its track is done
  // yet, and once it is, it is the track of the cut signal.
  ASSERT_EQ(Post("/api/edit/cut", {{"from", 4000}, {"to", 6000}})->status, 200);
  info = GetJson("/api/info");
  EXPECT_EQ(info["signalVersion"], signalVersion + 1);
  ServedF0 soon = GetF0(whole());
  EXPECT_EQ(bool(soon.current), uint64_t(soon.version) == signalVersion + 1);
  ASSERT_TRUE(document_->WaitForF0(std::chrono::seconds(30)));
  ServedF0 cut = GetF0(whole());
  EXPECT_TRUE(cut.current);
  EXPECT_EQ(uint64_t(cut.version), signalVersion + 1);
  EXPECT_EQ(cut.values, DirectTrack());
  EXPECT_EQ(cut.values.size(), size_t((GetWaveLength() - 1) / 80 + 1));
  // Undo brings the first signal back, and with it its track at once;
  // redo the cut one's.
  ASSERT_EQ(Post("/api/undo", json::object())->status, 200);
  ServedF0 undone = GetF0(whole());
  EXPECT_TRUE(undone.current);
  EXPECT_EQ(uint64_t(undone.version), signalVersion + 2);
  EXPECT_EQ(undone.values, direct);
  ASSERT_EQ(Post("/api/redo", json::object())->status, 200);
  ServedF0 redone = GetF0(whole());
  EXPECT_TRUE(redone.current);
  EXPECT_EQ(uint64_t(redone.version), signalVersion + 3);
  EXPECT_EQ(redone.values, cut.values);
  // A paste makes a signal never tracked before.
  ASSERT_EQ(Post("/api/edit/paste", {{"from", 100}, {"to", 100}})->status, 200);
  ASSERT_TRUE(document_->WaitForF0(std::chrono::seconds(30)));
  EXPECT_EQ(GetF0(whole()).values, DirectTrack());
}

// The tracker takes the newest request and gives the track of the samples
// it was handed, whatever happens to the library's buffer meanwhile.
TEST_F(ViewApiTest, TheTrackerWorksOnItsOwnCopy) {
  auto signal = std::make_shared<const Signal>(Signal{{GetDataBuffer(0), GetDataBuffer(0) + GetWaveLength()}});
  std::vector<float> direct = DirectTrack();
  F0Tracker tracker(F0Options{});
  EXPECT_EQ(tracker.Latest(), nullptr);
  tracker.Request(std::make_shared<const Signal>(Signal{std::vector<int16_t>(4000, 0)}), kRate, 3);
  tracker.Request(signal, kRate, 4);
  ASSERT_EQ(DelSpeech(0, 9999), 1);  // the wave buffer changes under it
  ASSERT_TRUE(tracker.WaitFor(4, std::chrono::seconds(30)));
  std::shared_ptr<const TrackedF0> latest = tracker.Latest();
  EXPECT_EQ(latest->signalVersion, 4u);
  EXPECT_EQ(latest->track.f0, direct);
  EXPECT_FALSE(tracker.WaitFor(5, std::chrono::milliseconds(10)));
}

// A drag asks for the marks of the visible stretch only: the marks inside
// with a neighbour each side, and the intervals between them with the F0
// of their modified pitch as the whole table gives it.
TEST_F(ViewApiTest, MarksOfAStretchAreASliceOfTheTable) {
  std::vector<int32_t> peaks = document_->Peaks();
  std::vector<int32_t> periods = document_->ModifiedPitch();
  for (size_t j = 0; j < periods.size(); j += 3) periods[j] += 11;
  ASSERT_EQ(SetModifiedPitch(periods.data()), 1);
  periods.resize(peaks.size() - 1);
  std::vector<double> modified = IntervalF0(peaks, periods, kRate);
  int32_t from = peaks[20] - 3, to = peaks[40] + 1;
  ServedMarks m = GetMarks("?from=" + std::to_string(from) + "&to=" + std::to_string(to) + "&columns=1000");
  EXPECT_EQ(m.inside, 21);
  EXPECT_EQ(m.step, 1);
  EXPECT_EQ(m.peaks, std::vector<int32_t>(peaks.begin() + 19, peaks.begin() + 42));
  ASSERT_EQ(m.starts.size(), 22u);
  for (size_t k = 0; k < m.starts.size(); k++) {
    EXPECT_EQ(m.starts[k], peaks[19 + k]);
    EXPECT_EQ(m.ends[k], peaks[20 + k]);
    EXPECT_EQ(m.periods[k], periods[19 + k]);
    EXPECT_EQ(m.modified[k], float(modified[19 + k])) << k;
  }
  EXPECT_LT(m.bytes, 16u + 4 * 23 + 16 * 22 + 1);
  // The whole signal in 10 columns: every step-th interval, no marks.
  ServedMarks thin = GetMarks("?from=0&to=" + std::to_string(GetWaveLength()) + "&columns=10");
  EXPECT_EQ(thin.inside, int32_t(peaks.size()));
  EXPECT_EQ(thin.step, int32_t((peaks.size() - 1) / 20));
  EXPECT_TRUE(thin.peaks.empty());
  for (size_t k = 0; k < thin.starts.size(); k++) {
    EXPECT_EQ(thin.starts[k], peaks[k * size_t(thin.step)]);
    EXPECT_EQ(thin.modified[k], float(modified[k * size_t(thin.step)]));
  }
  // Before the first mark and past the last: the neighbours only.
  ServedMarks before = GetMarks("?from=0&to=" + std::to_string(peaks[0]) + "&columns=100");
  EXPECT_EQ(before.inside, 0);
  EXPECT_EQ(before.peaks, std::vector<int32_t>{peaks[0]});
  EXPECT_TRUE(before.starts.empty());
  auto bad = Get("/api/marks?from=10&to=5&columns=3");
  EXPECT_EQ(bad->status, 400);
}

// A pitch target dragged up or down: the interval holding it gets the new
// period, the others keep theirs, and the resynthesis follows.
TEST_F(ViewApiTest, MovingAPitchTargetSetsItsIntervalsPeriod) {
  int32_t v = VoicedElement();
  int32_t start, end;
  GetElementSegment(v, &start, &end);
  std::vector<int32_t> peaks = document_->Peaks();
  std::vector<int32_t> before = document_->ModifiedPitch();
  size_t j = size_t(std::upper_bound(peaks.begin(), peaks.end(), (start + end) / 2) - peaks.begin()) - 1;
  std::string stretch = "?from=" + std::to_string(start) + "&to=" + std::to_string(end);
  auto heard = [&] { return Get("/api/resynthesis" + stretch)->body; };
  std::string original = heard();
  int32_t middle = (peaks[j] + peaks[j + 1]) / 2;
  json info = json::parse(Post("/api/pitch/move", {{"position", middle}, {"hertz", 90.0}})->body);
  EXPECT_EQ(info["undoLabel"], "move pitch target");
  std::vector<int32_t> after = document_->ModifiedPitch();
  for (size_t k = 0; k < after.size(); k++) EXPECT_EQ(after[k], k == j ? int32_t(kRate / 90.0) : before[k]) << k;
  EXPECT_NE(heard(), original);
  ServedMarks m = GetMarks("?from=" + std::to_string(middle) + "&to=" + std::to_string(middle + 1) + "&columns=10");
  ASSERT_EQ(m.starts.size(), 1u);  // the interval holding it
  EXPECT_EQ(m.starts[0], peaks[j]);
  EXPECT_FLOAT_EQ(m.modified[0], float(double(kRate) / int32_t(kRate / 90.0)));  // a whole period
  ASSERT_EQ(Post("/api/undo", json::object())->status, 200);
  EXPECT_EQ(document_->ModifiedPitch(), before);
  EXPECT_EQ(heard(), original);
  ExpectRefused("/api/pitch/move", {{"position", middle}, {"hertz", 10.0}});
  ExpectRefused("/api/pitch/move", {{"position", peaks[0] - 1}, {"hertz", 100.0}});
  ExpectRefused("/api/pitch/move", {{"position", peaks.back()}, {"hertz", 100.0}});
  ExpectBad("/api/pitch/move", {{"position", middle}});
}

// The TextGrid holds the elements and marks to the sample, as the exchange
// reader gives them back; it replaces the file whole.
TEST_F(ViewApiTest, SavedTextGridsReadBackToTheSample) {
  ASSERT_EQ(Post("/api/description", {{"element", 1}, {"text", "ma3"}})->status, 200);
  ASSERT_EQ(Post("/api/edit/cut", {{"from", 5000}, {"to", 7000}})->status, 200);
  EXPECT_TRUE(GetJson("/api/info")["textGrid"]);
  std::ofstream(dir_.File("in.TextGrid")) << "an older file, longer than the new one" << std::string(200000, 'x');
  auto saved = Post("/api/save/textgrid", json::object());
  ASSERT_EQ(saved->status, 200) << saved->body;
  EXPECT_EQ(json::parse(saved->body)["saved"], dir_.File("in.TextGrid"));
  std::stringstream text;
  text << std::ifstream(dir_.File("in.TextGrid")).rdbuf();
  interop::TextGrid grid = interop::ParseTextGrid(text.str());
  const interop::Tier* elements = interop::FindTier(grid, interop::Tier::Kind::kInterval, "elements");
  const interop::Tier* marks = interop::FindTier(grid, interop::Tier::Kind::kPoint, "marks");
  ASSERT_TRUE(elements && marks);
  EXPECT_EQ(interop::SecondsToSample(grid.xmax, kRate), GetWaveLength());
  std::vector<ElementView> now = document_->Elements();
  ASSERT_EQ(elements->intervals.size(), now.size());
  for (size_t i = 0; i < now.size(); i++) {
    EXPECT_EQ(interop::SecondsToSample(elements->intervals[i].xmin, kRate), now[i].start) << i;
    EXPECT_EQ(interop::SecondsToSample(elements->intervals[i].xmax, kRate), now[i].end) << i;
    EXPECT_EQ(elements->intervals[i].text, now[i].desc) << i;
  }
  EXPECT_EQ(elements->intervals[1].text, "ma3");
  std::vector<int32_t> peaks = document_->Peaks();
  ASSERT_EQ(marks->points.size(), peaks.size());
  for (size_t k = 0; k < peaks.size(); k++) EXPECT_EQ(interop::SecondsToSample(marks->points[k].time, kRate), peaks[k]);
}

TEST_F(ViewApiTest, AFailedTextGridSaveSaysWhy) {
  EditorDocument document({"", "", "x", dir_.File("missing-folder/x.TextGrid")});
  try {
    document.SaveTextGrid();
    ADD_FAILURE() << "saved into a missing folder";
  } catch (const EditRefused& error) {
    EXPECT_NE(std::string(error.what()).find("missing-folder/x.TextGrid cannot be written"), std::string::npos)
        << error.what();
  }
}

}  // namespace
}  // namespace tvx::view
