#include "view_routes.h"

#include <httplib.h>

#include <charconv>
#include <cstring>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>

#include "view_assets.h"
#include "wav_bytes.h"

namespace tvx::view {
namespace {

using nlohmann::json;

constexpr int kMostColumns = 16384;  // wider than any screen

// A request the API cannot read: 400, as opposed to a change the document
// refuses (EditRefused, 409).
class BadRequest : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// With a charset the server does not compress it (cpp-httplib compresses
// exactly "application/json"), which on the loopback interface only costs.
constexpr const char* kJson = "application/json; charset=utf-8";

std::string Dump(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

void SendJson(httplib::Response& response, const json& value, int status = 200) {
  response.status = status;
  response.set_content(Dump(value), kJson);
}

int64_t QueryInteger(const httplib::Request& request, const char* name, int64_t low, int64_t high) {
  if (!request.has_param(name)) throw BadRequest(std::string("missing parameter ") + name);
  std::string text = request.get_param_value(name);
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    throw BadRequest(std::string("parameter ") + name + " must be a whole number from " + std::to_string(low) +
                     " to " + std::to_string(high));
  return value;
}

float QueryScale(const httplib::Request& request) {
  if (!request.has_param("scale")) throw BadRequest("missing parameter scale");
  std::string text = request.get_param_value("scale");
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(value > 0) || value > 1e6) throw BadRequest("scale must be above 0");
  return float(value);
}

json Body(const httplib::Request& request) {
  if (request.get_header_value("Content-Type").rfind("application/json", 0) != 0)
    throw BadRequest("changes are sent as application/json");
  json body = json::parse(request.body, nullptr, false);
  if (body.is_discarded() || !body.is_object()) throw BadRequest("the body is not a JSON object");
  return body;
}

int32_t Int(const json& body, const char* name) {
  auto found = body.find(name);
  if (found == body.end() || !found->is_number_integer()) throw BadRequest(std::string(name) + " must be an integer");
  int64_t value = found->get<int64_t>();
  if (value < INT32_MIN || value > INT32_MAX) throw BadRequest(std::string(name) + " is out of range");
  return int32_t(value);
}

double Number(const json& body, const char* name) {
  auto found = body.find(name);
  if (found == body.end() || !found->is_number()) throw BadRequest(std::string(name) + " must be a number");
  return found->get<double>();
}

Snap SnapOf(const json& body, Snap fallback) {
  auto found = body.find("snap");
  if (found == body.end()) return fallback;
  if (!found->is_string()) throw BadRequest("snap must be none, zerocross or maximum");
  std::string name = found->get<std::string>();
  if (name == "none") return Snap::kNone;
  if (name == "zerocross") return Snap::kZeroCrossing;
  if (name == "maximum") return Snap::kMaximum;
  throw BadRequest("snap must be none, zerocross or maximum");
}

json Info(const EditorDocument& document) {
  return {{"name", document.paths().name},
          {"rate", document.Rate()},
          {"channels", document.Channels()},
          {"length", document.Length()},
          {"version", document.Version()},
          {"canUndo", document.CanUndo()},
          {"canRedo", document.CanRedo()},
          {"undoLabel", document.UndoLabel()},
          {"redoLabel", document.RedoLabel()},
          {"clipboard", document.ClipboardFull()},
          {"peakFile", document.paths().peaks},
          {"waveFile", document.paths().wave},
          {"textGridFile", document.paths().textGrid},
          {"textGrid", !document.paths().textGrid.empty()},
          {"signalVersion", document.SignalVersion()},
          {"f0Current", document.F0Current()}};
}

// Written by hand: the table of an hour holds 10000 elements, and the
// page asks for it after every boundary change.
std::string ElementsJson(const EditorDocument& document) {
  std::string out = "{\"version\":" + std::to_string(document.Version()) + ",\"elements\":[";
  bool first = true;
  for (const ElementView& e : document.Elements()) {
    if (!first) out += ',';
    first = false;
    out += "{\"desc\":" + Dump(e.desc) + ",\"start\":" + std::to_string(e.start) + ",\"end\":" +
           std::to_string(e.end) + '}';
  }
  return out + "]}";
}

template <typename T>
void Append(std::string& out, const std::vector<T>& values) {
  out.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

// Little-endian machine, int32 unless said: marks inside, step, marks
// sent, intervals sent; the marks; the intervals' starts, ends, periods and
// the F0 of their modified pitch (float32).
std::string MarksBinary(const MarksView& view) {
  std::string out;
  Append(out, std::vector<int32_t>{view.inside, view.step, int32_t(view.peaks.size()), int32_t(view.starts.size())});
  Append(out, view.peaks);
  Append(out, view.starts);
  Append(out, view.ends);
  Append(out, view.periods);
  Append(out, view.modifiedF0);
  return out;
}

// Little-endian machine: int32 ready, current, signal version (its low 32
// bits), hop, first frame, step, count; float32 low and high of the
// speaker's range; float32 F0 of the frames.
std::string F0Binary(const F0View& view) {
  std::string out;
  Append(out, std::vector<int32_t>{view.ready, view.current, int32_t(uint32_t(view.signalVersion)), view.hop,
                                   int32_t(view.first), int32_t(view.step), int32_t(view.values.size())});
  Append(out, std::vector<float>{float(view.low), float(view.high)});
  Append(out, view.values);
  return out;
}

json MarksJson(const EditorDocument& document) {
  std::vector<int32_t> peaks = document.Peaks();
  std::vector<int32_t> periods = document.ModifiedPitch();
  return {{"version", document.Version()}, {"peaks", peaks}, {"periods", periods}};
}

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

// One request at a time; a refusal or bad input becomes a JSON error.
Handler Guarded(std::mutex& lock, Handler handler) {
  return [&lock, handler](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard<std::mutex> hold(lock);
    try {
      handler(request, response);
    } catch (const BadRequest& error) {
      SendJson(response, {{"error", error.what()}}, 400);
    } catch (const EditRefused& error) {
      SendJson(response, {{"error", error.what()}}, 409);
    } catch (const std::bad_alloc&) {
      SendJson(response, {{"error", "out of memory"}}, 500);
    } catch (const std::exception& error) {
      SendJson(response, {{"error", error.what()}}, 500);
    }
  };
}

void AddReads(httplib::Server& server, const std::string& p, EditorDocument& doc, std::mutex& lock) {
  server.Get(p + "/", Guarded(lock, [](auto&, auto& res) {
    const Asset* page = FindAsset("index.html");
    res.set_content(reinterpret_cast<const char*>(page->data), page->size, page->type);
  }));
  server.Get(p + R"(/assets/([a-z_\-]+\.(js|css|svg)))", Guarded(lock, [](auto& req, auto& res) {
    const Asset* asset = FindAsset(req.matches[1]);
    if (!asset) return SendJson(res, {{"error", "no such file"}}, 404);
    res.set_content(reinterpret_cast<const char*>(asset->data), asset->size, asset->type);
  }));
  server.Get(p + "/api/info", Guarded(lock, [&doc](auto&, auto& res) { SendJson(res, Info(doc)); }));
  server.Get(p + "/api/elements", Guarded(lock, [&doc](auto&, auto& res) {
    res.set_content(ElementsJson(doc), kJson);
  }));
  // The whole table as JSON, or the marks of a stretch for drawing it.
  server.Get(p + "/api/marks", Guarded(lock, [&doc](auto& req, auto& res) {
    if (req.get_param_value("format") == "json") return SendJson(res, MarksJson(doc));
    // A stretch past the end (a page that has not yet seen a cut) holds
    // nothing there, rather than being refused.
    int64_t from = req.has_param("from") ? QueryInteger(req, "from", 0, INT32_MAX) : 0;
    int64_t to = req.has_param("to") ? QueryInteger(req, "to", from, INT32_MAX) : doc.Length();
    int columns = req.has_param("columns") ? int(QueryInteger(req, "columns", 1, kMostColumns)) : INT32_MAX / 4;
    res.set_content(MarksBinary(doc.MarksBetween(from, to, columns)), "application/octet-stream");
  }));
  server.Get(p + "/api/f0", Guarded(lock, [&doc](auto& req, auto& res) {
    int64_t from = QueryInteger(req, "from", 0, INT32_MAX);
    int64_t to = QueryInteger(req, "to", from, INT32_MAX);
    int columns = int(QueryInteger(req, "columns", 1, kMostColumns));
    res.set_content(F0Binary(doc.F0(from, to, columns)), "application/octet-stream");
  }));
  server.Get(p + "/api/wave", Guarded(lock, [&doc](auto& req, auto& res) {
    int64_t from = QueryInteger(req, "from", 0, doc.Length());
    int64_t to = QueryInteger(req, "to", from, doc.Length());
    int columns = int(QueryInteger(req, "columns", 1, kMostColumns));
    std::string out;
    for (const auto& channel : doc.Waveform(from, to, columns)) Append(out, channel);
    res.set_content(out, "application/octet-stream");
  }));
  server.Get(p + "/api/spectrogram", Guarded(lock, [&doc](auto& req, auto& res) {
    int64_t from = QueryInteger(req, "from", 0, doc.Length());
    int64_t to = QueryInteger(req, "to", from, doc.Length());
    int columns = int(QueryInteger(req, "columns", 1, kMostColumns));
    int channel = req.has_param("channel") ? int(QueryInteger(req, "channel", 0, 1)) : 0;
    std::vector<uint8_t> columnsData = doc.Spectrogram(channel, from, to, columns);
    res.set_content(std::string(columnsData.begin(), columnsData.end()), "application/octet-stream");
  }));
  server.Get(p + "/api/hit", Guarded(lock, [&doc](auto& req, auto& res) {
    Hit hit = doc.Find(int32_t(QueryInteger(req, "position", INT32_MIN, INT32_MAX)), QueryScale(req));
    json boundary = nullptr, mark = nullptr;
    if (hit.boundaryElement >= 0)
      boundary = {{"element", hit.boundaryElement}, {"side", hit.boundarySide}, {"position", hit.boundaryPosition}};
    if (hit.markIndex >= 0) mark = {{"index", hit.markIndex}, {"position", hit.markPosition}};
    SendJson(res, {{"boundary", boundary}, {"mark", mark}});
  }));
  auto audio = [&doc](bool resynthesised) {
    return [&doc, resynthesised](const httplib::Request& req, httplib::Response& res) {
      int32_t from = int32_t(QueryInteger(req, "from", 0, doc.Length()));
      int32_t to = int32_t(QueryInteger(req, "to", 0, doc.Length()));
      std::vector<int16_t> frames = resynthesised ? doc.Resynthesis(from, to) : doc.Audio(from, to);
      res.set_header("X-Talvox-Samples", std::to_string(frames.size() / doc.Channels()));
      res.set_content(WavBytes(frames, doc.Channels(), doc.Rate()), "audio/wav");
    };
  };
  server.Get(p + "/api/audio", Guarded(lock, audio(false)));
  server.Get(p + "/api/resynthesis", Guarded(lock, audio(true)));
}

void AddChanges(httplib::Server& server, const std::string& p, EditorDocument& doc, std::mutex& lock) {
  auto change = [&](const std::string& path, std::function<void(const json&)> act) {
    server.Post(p + "/api/" + path, Guarded(lock, [&doc, act](auto& req, auto& res) {
      act(Body(req));
      SendJson(res, Info(doc));
    }));
  };
  change("boundary/move", [&doc](const json& b) {
    doc.MoveBoundary(Int(b, "element"), Int(b, "side"), Int(b, "position"), SnapOf(b, Snap::kZeroCrossing));
  });
  change("boundary/add", [&doc](const json& b) { doc.AddBoundary(Int(b, "position"), SnapOf(b, Snap::kZeroCrossing)); });
  change("boundary/delete", [&doc](const json& b) { doc.DeleteBoundary(Int(b, "element"), Int(b, "side")); });
  change("description", [&doc](const json& b) {
    auto text = b.find("text");
    if (text == b.end() || !text->is_string()) throw BadRequest("text must be a string");
    doc.SetDescription(Int(b, "element"), text->get<std::string>());
  });
  change("mark/move", [&doc](const json& b) {
    doc.MoveMark(Int(b, "from"), Int(b, "to"), float(Number(b, "scale")), SnapOf(b, Snap::kMaximum));
  });
  change("mark/add", [&doc](const json& b) { doc.AddMark(Int(b, "position"), SnapOf(b, Snap::kMaximum)); });
  change("mark/delete", [&doc](const json& b) { doc.DeleteMark(Int(b, "position"), float(Number(b, "scale"))); });
  change("pitch/draw", [&doc](const json& b) {
    auto points = b.find("points");
    if (points == b.end() || !points->is_array()) throw BadRequest("points must be a list of [position, Hz]");
    std::vector<PitchPoint> stroke;
    for (const json& point : *points) {
      if (!point.is_array() || point.size() != 2 || !point[0].is_number_integer() || !point[1].is_number())
        throw BadRequest("points must be a list of [position, Hz]");
      int64_t position = point[0].get<int64_t>();
      if (position < INT32_MIN || position > INT32_MAX) throw BadRequest("a point's position is out of range");
      stroke.push_back({int32_t(position), point[1].get<double>()});
    }
    doc.DrawPitch(std::move(stroke));
  });
  change("pitch/move", [&doc](const json& b) { doc.MovePitchTarget(Int(b, "position"), Number(b, "hertz")); });
  change("pitch/scale", [&doc](const json& b) { doc.ScalePitch(Int(b, "from"), Int(b, "to"), Number(b, "factor")); });
  change("edit/copy", [&doc](const json& b) { doc.Copy(Int(b, "from"), Int(b, "to")); });
  change("edit/cut", [&doc](const json& b) { doc.Cut(Int(b, "from"), Int(b, "to")); });
  change("edit/delete", [&doc](const json& b) { doc.Delete(Int(b, "from"), Int(b, "to")); });
  change("edit/paste", [&doc](const json& b) { doc.Paste(Int(b, "from"), Int(b, "to")); });
  change("undo", [&doc](const json&) { doc.Undo(); });
  change("redo", [&doc](const json&) { doc.Redo(); });
  server.Post(p + "/api/save/peaks", Guarded(lock, [&doc](auto& req, auto& res) {
    Body(req);
    SendJson(res, {{"saved", doc.SaveAnnotation()}});
  }));
  server.Post(p + "/api/save/wave", Guarded(lock, [&doc](auto& req, auto& res) {
    Body(req);
    SendJson(res, {{"saved", doc.SaveWave()}});
  }));
  server.Post(p + "/api/save/textgrid", Guarded(lock, [&doc](auto& req, auto& res) {
    Body(req);
    SendJson(res, {{"saved", doc.SaveTextGrid()}});
  }));
}

}  // namespace

void AddDocumentRoutes(httplib::Server& server, const std::string& prefix, EditorDocument& document) {
  static std::mutex lock;
  AddReads(server, prefix, document, lock);
  AddChanges(server, prefix, document, lock);
}

}  // namespace tvx::view
