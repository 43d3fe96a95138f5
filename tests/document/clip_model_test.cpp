// Random sequences of edits, gains, undo and redo on documents backed by real block files, each
// step checked against a plain vector of samples read back through a ClipReader.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <deque>
#include <limits>
#include <random>

#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "document/wave_document.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::countFiles;
using testing::DocumentTest;
using testing::writeClip;

// One frame of the model: what the block holds and the gain it is seen through.
struct ModelFrame {
  std::array<Sample, 2> value{};
  int32_t gain = kUnityGain;
};
using Model = std::vector<ModelFrame>;

// Gain scaling and reading, worked from their formulas.
int32_t modelScale(int32_t gain, int32_t percent) {
  if (percent > 100 && gain >= (2147483647 / percent) * 100) return 2147483647;
  return static_cast<int32_t>(
      std::clamp<int64_t>(int64_t{percent} * (gain / 100), INT32_MIN, INT32_MAX));
}

Sample modelRead(Sample value, int32_t gain) {
  return static_cast<Sample>(
      std::clamp<int64_t>((int64_t{value} * (gain >> 15)) >> 9, INT32_MIN, INT32_MAX));
}

Model silenceOf(int64_t frames) {
  return Model(size_t(std::max<int64_t>(frames, 0)));
}

void modelDelete(Model& m, int32_t a, int32_t b) {
  if (b < a || b < 0) return;
  const int64_t from = std::max(a, 0), to = std::min<int64_t>(b, int64_t(m.size()));
  if (from < to) m.erase(m.begin() + from, m.begin() + to);
}

void modelInsert(Model& m, int32_t at, const Model& other) {
  if (at < 0) {
    Model piece = other;
    Model gap = silenceOf(-int64_t{at});
    piece.insert(piece.end(), gap.begin(), gap.end());
    m.insert(m.begin(), piece.begin(), piece.end());
  } else if (size_t(at) > m.size()) {
    Model gap = silenceOf(at - int64_t(m.size()));
    m.insert(m.end(), gap.begin(), gap.end());
    m.insert(m.end(), other.begin(), other.end());
  } else {
    m.insert(m.begin() + at, other.begin(), other.end());
  }
}

void modelInsertSilence(Model& m, int32_t at, int32_t frames) {
  int64_t n = frames, position = at;
  if (position < 0) {
    n += position;
    position = 0;
  }
  if (n <= 0) return;
  if (position > int64_t(m.size())) n += position - int64_t(m.size());
  Model gap = silenceOf(n);
  m.insert(m.begin() + std::min<int64_t>(position, int64_t(m.size())), gap.begin(), gap.end());
}

Model modelCopy(const Model& m, int32_t a, int32_t b) {
  Model out;
  for (int64_t f = a; f < b; ++f)
    out.push_back(f >= 0 && f < int64_t(m.size()) ? m[size_t(f)] : ModelFrame{});
  return out;
}

std::vector<Sample> expectedSamples(const Model& m, int channels, int64_t from, int64_t count) {
  std::vector<Sample> out;
  for (int64_t f = from; f < from + count; ++f) {
    for (int c = 0; c < channels; ++c) {
      out.push_back(f >= 0 && f < int64_t(m.size())
                        ? modelRead(m[size_t(f)].value[size_t(c)], m[size_t(f)].gain)
                        : 0);
    }
  }
  return out;
}

// The model's undo: at most 30 states back, redo until a new action.
struct ModelHistory {
  std::deque<Model> past, future;
  void record(const Model& current) {
    past.push_back(current);
    if (past.size() > 30) past.pop_front();
    future.clear();
  }
  bool undo(Model& current) {
    if (past.empty()) return false;
    future.push_back(current);
    current = past.back();
    past.pop_back();
    return true;
  }
  bool redo(Model& current) {
    if (future.empty()) return false;
    past.push_back(current);
    current = future.back();
    future.pop_back();
    return true;
  }
};

class ClipModelTest : public DocumentTest {
 protected:
  // A fresh block of random audio and its model.
  std::pair<Clip, Model> freshBlock(std::mt19937& random, int channels) {
    const int frames = 1 + int(random() % 700);
    std::uniform_int_distribution<Sample> value(-600000, 600000);
    std::vector<Sample> samples;
    Model model(static_cast<size_t>(frames));
    for (ModelFrame& frame : model) {
      for (int c = 0; c < channels; ++c) {
        frame.value[size_t(c)] = value(random);
        samples.push_back(frame.value[size_t(c)]);
      }
    }
    return {writeClip(samples, channels), model};
  }

  void check(const Clip& clip, const Model& model, std::mt19937& random, const char* step) {
    const int channels = clip.channels;
    ASSERT_EQ(clip.length(), int32_t(model.size())) << step;
    auto reader = makeRef<ClipReader>(clip);
    std::vector<Sample> all(model.size() * channels);
    ASSERT_EQ(reader->read(all.data(), int32_t(model.size())), int32_t(model.size()));
    ASSERT_EQ(all, expectedSamples(model, channels, 0, int64_t(model.size()))) << step;
    for (int probe = 0; probe < 3; ++probe) {
      const int32_t at = int32_t(random() % (model.size() + 200)) - 100;
      const int32_t count = 1 + int32_t(random() % 300);
      reader->seek(at);
      std::vector<Sample> part(size_t(count) * channels);
      ASSERT_EQ(reader->read(part.data(), count), count);
      ASSERT_EQ(part, expectedSamples(model, channels, at, count)) << step << " seek " << at;
    }
  }
};

TEST_F(ClipModelTest, RandomEditSequencesMatchAPlainVector) {
  const char* override = std::getenv("QUILLON_MODEL_SEQUENCES");
  const int sequences = override ? std::atoi(override) : 3000;
  const int32_t percents[] = {0, 1, 50, 99, 101, 150, 400, 1000, 12800, -100};
  std::mt19937 random(20261207);

  for (int sequence = 0; sequence < sequences; ++sequence) {
    const int channels = 1 + int(random() % 2);
    {
      Ref<WaveDocument> document = WaveDocument::createEmpty();
      Clip& audio = document->audio;
      auto [initial, model] = freshBlock(random, channels);
      audio = initial;
      Clip clipboard;
      clipboard.channels = uint8_t(channels);
      Model clipboardModel;
      ModelHistory history;

      // Some sequences run long enough to wrap the undo ring and reach the 30-undo limit.
      const int steps = sequence % 8 == 0 ? 90 : 30;
      for (int step = 0; step < steps; ++step) {
        const int32_t length = int32_t(model.size());
        auto position = [&] {
          return int32_t(random() % (length + length / 2 + 40)) - length / 4 - 20;
        };
        int32_t a = position(), b = position();
        if (random() % 4) std::tie(a, b) = std::minmax(a, b);
        const int op = int(random() % 13);
        const char* name = "";
        if (op <= 10) {  // an action: snapshot first
          document->recordAction("Action");
          history.record(model);
        }
        switch (op) {
          case 0:
            name = "deleteRange";
            deleteRange(audio, a, b);
            modelDelete(model, a, b);
            break;
          case 1: {
            name = "keepRange";
            keepRange(audio, a, b);
            const int32_t start = std::max(a, 0);
            modelDelete(model, 0, start);
            modelDelete(model, int32_t(int64_t{b} - start), int32_t(model.size()));
            break;
          }
          case 2:
            name = "deleteBefore";
            deleteBefore(audio, a);
            if (a > 0) modelDelete(model, 0, a);
            break;
          case 3:
            name = "deleteFrom";
            deleteFrom(audio, a);
            modelDelete(model, a, int32_t(model.size()));
            break;
          case 4: {
            name = "insertClip";
            if (random() % 2 || clipboardModel.empty()) {
              auto [fresh, freshModel] = freshBlock(random, channels);
              insertClip(audio, a, fresh);
              modelInsert(model, a, freshModel);
            } else {
              insertClip(audio, a, clipboard);
              modelInsert(model, a, clipboardModel);
            }
            break;
          }
          case 5: {
            name = "insertSilence";
            const int32_t n = int32_t(random() % 500);
            insertSilence(audio, a, n);
            modelInsertSilence(model, a, n);
            break;
          }
          case 6:
            name = "copyRange";
            if (b >= a) {
              copyRange(audio, a, b, clipboard);
              clipboardModel = modelCopy(model, a, b);
            }
            break;
          case 7:
            name = "cutRange";
            if (b >= a) {
              cutRange(audio, a, b, clipboard);
              clipboardModel = modelCopy(model, a, b);
              modelDelete(model, a, b);
            }
            break;
          case 8:
            name = "replaceRange";
            replaceRange(audio, a, b, clipboard);
            modelDelete(model, a, b);
            modelInsert(model, a, clipboardModel);
            break;
          case 9:
            name = "silenceRange";
            silenceRange(audio, a, b);
            modelDelete(model, a, b);
            modelInsertSilence(model, a, int32_t(int64_t{b} - a));
            break;
          case 10: {
            name = "scaleRange";
            const int32_t percent = percents[random() % std::size(percents)];
            scaleRange(audio, a, b, percent);
            if (b >= a && percent != 100) {
              const int32_t from = std::clamp(a, 0, length), to = std::clamp(b, 0, length);
              for (int32_t f = from; f < to; ++f)
                model[size_t(f)].gain = modelScale(model[size_t(f)].gain, percent);
            }
            break;
          }
          case 11:
            name = "undo";
            ASSERT_EQ(document->undo(), history.undo(model));
            break;
          case 12:
            name = "redo";
            ASSERT_EQ(document->redo(), history.redo(model));
            break;
        }
        ASSERT_EQ(audio.channels, channels);
        check(audio, model, random, name);
        if (HasFatalFailure()) {
          ADD_FAILURE() << "sequence " << sequence << " step " << step << " " << name << " a=" << a
                        << " b=" << b;
          return;
        }
      }
    }
    // Document, undo slots and clipboard are gone: so is every block.
    ASSERT_EQ(BlockStore::instance().blocksInUse(), 0) << "sequence " << sequence;
    ASSERT_EQ(countFiles(env.workingFolder(), ".aud"), 0);
    ASSERT_EQ(countFiles(env.workingFolder(), ".grf"), 0);
  }
}

}  // namespace
}  // namespace quillon
