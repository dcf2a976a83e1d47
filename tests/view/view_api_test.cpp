// The editor's API over HTTP, as the page uses it: every route, what it
// refuses, and that each change is the library's own operation.
#include <gtest/gtest.h>
#include <httplib.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <thread>

#include "editor_document.h"
#include "test_support.h"
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
    document_ = std::make_unique<EditorDocument>(DocumentPaths{dir_.File("in.wav"), dir_.File("in.peaks"), "in.wav"});
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
  auto binary = Get("/api/marks");
  ASSERT_EQ(binary->body.size(), 4u + 4u * count + 3u * 4u * (count - 1));
  int32_t stored;
  std::memcpy(&stored, binary->body.data(), 4);
  EXPECT_EQ(stored, count);
  float f0;  // the first voiced interval's F0, a 128-sample period
  std::memcpy(&f0, binary->body.data() + 4 + 8 * count - 4 + 4 * 5, 4);
  EXPECT_NEAR(f0, kRate / 128.0, 3.0);

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
  EXPECT_EQ(Post("/api/save/textgrid", json::object())->status, 501);
  InitTalvox();
  ASSERT_EQ(ReadWaveFile(1, dir_.File("in.wav").c_str(), 0, 0), 1);
  ASSERT_EQ(ReadPeaks(dir_.File("in.peaks").c_str()), 1);
  Table loaded = Now();
  EXPECT_TRUE(loaded.elements == saved.elements);
  EXPECT_EQ(loaded.peaks, saved.peaks);
  EXPECT_EQ(loaded.samples, saved.samples);
}

}  // namespace
}  // namespace tvx::view
