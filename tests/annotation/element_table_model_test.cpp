// The element exports against a small model written straight from the
// rules of the table, driven by random edits.
#include <cstdlib>
#include <random>
#include <string>

#include "test_support.h"

namespace talvox::test {
namespace {

constexpr int32_t kLength = 400;
constexpr int32_t kCapacity = 10000;

struct Rec {
  std::string desc;
  int32_t s = 0, e = 0;
};

// Slots beyond the count are kept, as records moved down leave them behind.
struct Model {
  std::vector<Rec> slot = std::vector<Rec>(8);
  int32_t n = 0;

  void Grow(int32_t need) {
    if (static_cast<int32_t>(slot.size()) < need) slot.resize(need);
  }
  void RemoveAt(int32_t i) {
    for (int32_t k = i; k + 1 < n; ++k) slot[k] = slot[k + 1];
    --n;
  }
  void Full() {
    n = 1;
    slot[0].s = 0;
    slot[0].e = kLength;
  }
  int32_t Add(int32_t p) {
    if (n >= kCapacity) return 0;
    for (int32_t i = 0; i < n; ++i) {
      if (slot[i].s < p && p < slot[i].e) {
        Grow(n + 1);
        for (int32_t k = n; k > i; --k) slot[k] = slot[k - 1];
        slot[i].e = p;
        slot[i + 1].s = p;
        ++n;
        return 1;
      }
    }
    return 0;
  }
  int32_t Del(int32_t i, int32_t which) {
    if (i < 0 || i >= n) return 0;
    if (which == 1 && i > 0) {
      slot[i - 1].e = slot[i].e;
      RemoveAt(i);
    } else if (which == 2 && i < n - 1) {
      slot[i + 1].s = slot[i].s;
      RemoveAt(i);
    }
    return 1;
  }
  int32_t Move(int32_t i, int32_t p, int32_t which) {
    if (i < 0 || i >= n || (which != 1 && which != 2)) return 0;
    std::vector<Rec>& r = slot;
    if (which == 1) {
      if (i == 0) {
        r[0].s = p < 0 ? 0 : (p > r[0].e ? r[0].e : p);
      } else if (p < r[i - 1].s) {
        r[i].s = r[i - 1].s;
        r[i - 1].e = r[i - 1].s;
      } else if (p > r[i].e) {
        r[i].s = r[i].e;
        r[i - 1].e = r[i].e;
      } else {
        r[i].s = p;
        r[i - 1].e = p;
      }
    } else if (i == n - 1) {
      r[i].e = p > kLength - 1 ? kLength - 1 : (p < r[i].s ? r[i].s : p);
    } else if (p > r[i + 1].e) {
      r[i].e = r[i + 1].e;
      r[i + 1].s = r[i + 1].e;
    } else if (p < r[i].s) {
      r[i].e = r[i].s;
      r[i + 1].s = r[i].s;
    } else {
      r[i].e = p;
      r[i + 1].s = p;
    }
    return 1;
  }
  void Tidy() {
    for (int32_t i = 0; i < n;) {
      if (slot[i].s >= slot[i].e) {
        RemoveAt(i);
        if (n == 0) break;
      } else {
        ++i;
      }
    }
    if (n == 0) Full();
  }
  int32_t Find(int32_t p) const {
    for (int32_t i = 0; i < n; ++i) {
      if (slot[i].s <= p && p < slot[i].e) return i;
      if (slot[i].s == p && slot[i].e == p) return i;
      if (p == slot[n - 1].e) return n - 1;
    }
    return -1;
  }
  int32_t Nearest(int32_t p, int32_t* side, float scale) const {
    if (n == 0 || !(scale > 0)) return -1;
    const int64_t t = static_cast<int64_t>(5.0 / scale);
    auto pick = [&](int64_t d, int32_t which, int32_t index) {
      if (d > t) return -1;
      *side = which;
      return index;
    };
    if (p < slot[0].s) return pick(slot[0].s - int64_t{p}, 1, 0);
    if (p > slot[n - 1].e) return pick(p - int64_t{slot[n - 1].e}, 2, n - 1);
    for (int32_t i = 0; i < n; ++i) {
      const int64_t ds = std::llabs(int64_t{p} - slot[i].s),
                    de = std::llabs(int64_t{p} - slot[i].e);
      if (slot[i].s <= p && p <= slot[i].e) return ds > de ? pick(de, 2, i) : pick(ds, 1, i);
      if (i < n - 1 && slot[i].e <= p && p <= slot[i + 1].s) {
        const int64_t dn = std::llabs(int64_t{p} - slot[i + 1].s);
        return de > dn ? pick(dn, 1, i + 1) : pick(de, 2, i);
      }
    }
    return -1;
  }
};

class ElementTableModel : public DocumentTest {};

void ExpectSame(const Model& m, int step) {
  ASSERT_EQ(GetElementNum(), m.n) << "step " << step;
  for (int32_t i = 0; i < m.n; ++i) {
    int32_t s = -7, e = -7;
    char text[104];
    ASSERT_EQ(GetElementSegment(i, &s, &e), 1);
    ASSERT_EQ(GetElementDesc(i, text), 1);
    ASSERT_EQ(s, m.slot[i].s) << "step " << step << " element " << i;
    ASSERT_EQ(e, m.slot[i].e) << "step " << step << " element " << i;
    ASSERT_EQ(text, m.slot[i].desc) << "step " << step << " element " << i;
  }
}

TEST_F(ElementTableModel, RandomEditsAgreeWithTheModel) {
  LoadSignal(std::vector<int16_t>(kLength, 0), 1, 16000);
  Model m;
  SetFullSegmentation();
  m.Full();
  std::mt19937 rng(20261208);
  auto pick = [&](int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
  };
  const float scales[] = {0.5f, 1.0f, 0.05f, 10.0f, 3.0f};
  for (int step = 0; step < 20000; ++step) {
    const int32_t p = pick(-10, kLength + 10);
    const int32_t i = pick(-1, m.n);
    const int32_t which = pick(0, 3);
    switch (pick(0, 6)) {
      case 0:
      case 1:
        ASSERT_EQ(AddBoundary(p), m.Add(p)) << step;
        break;
      case 2:
        ASSERT_EQ(DelBoundary(i, which), m.Del(i, which)) << step;
        break;
      case 3:
        ASSERT_EQ(SetElementSegment(i, p, which), m.Move(i, p, which)) << step;
        break;
      case 4:
        if (pick(0, 3) == 0) {
          TidyElements();
          m.Tidy();
        }
        break;
      case 5: {
        const std::string text = "s" + std::to_string(step);
        const int32_t ok = i >= 0 && i < m.n;
        ASSERT_EQ(SetElementDesc(i, text.c_str()), ok);
        if (ok) m.slot[i].desc = text;
        break;
      }
      default: {
        ASSERT_EQ(GetElement(p), m.Find(p)) << step;
        int32_t side = 0, modelSide = 0;
        const float scale = scales[pick(0, 4)];
        ASSERT_EQ(GetNearestElementBoundary(p, &side, scale), m.Nearest(p, &modelSide, scale));
        ASSERT_EQ(side, modelSide) << step;
      }
    }
    ExpectSame(m, step);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace talvox::test
