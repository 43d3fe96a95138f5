// Edit primitives and undo snapshots on long documents: time must not depend on the length of
// the audio (1 minute against 10 hours) and must grow linearly with the number of Segments.
#include <benchmark/benchmark.h>

#include "bench_folder.h"
#include "document/block_writer.h"
#include "document/clip_editing.h"
#include "document/wave_document.h"

namespace quillon::bench {
namespace {

// A document of `seconds` of 44.1 kHz audio in `segments` Segments over one real block.
Ref<WaveDocument> longDocument(int64_t seconds, int segments) {
  Clip block;
  {
    const Sample one = 1;
    auto writer = makeRef<BlockWriter>(block, 44100, 1);
    writer->write(&one, 1);
  }
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  const int64_t frames = seconds * 44100;
  for (int i = 0; i < segments; ++i) {
    Segment segment = block.segments[0];
    segment.length = int32_t(frames / segments);
    segment.offset = int32_t((i * 7919) % 1000);
    document->audio.segments.push_back(segment);
  }
  return document;
}

enum Edit { kDelete, kInsert, kCopy, kKeep, kScale, kReplace, kSnapshot, kUndoRedo };

void BM_Edit(benchmark::State& state) {
  const Edit edit = Edit(state.range(0));
  const int64_t seconds = state.range(1);
  const int segments = int(state.range(2));
  BenchFolder folder;
  Ref<WaveDocument> document = longDocument(seconds, segments);
  const Clip original = document->audio;
  const int32_t length = original.length();
  const int32_t a = length / 3, b = length / 3 + length / 10;
  Clip piece;
  copyRange(original, 0, length / 100, piece);
  Clip out;
  for (auto _ : state) {
    switch (edit) {
      case kDelete:
        deleteRange(document->audio, a, b);
        break;
      case kInsert:
        insertClip(document->audio, a, piece);
        break;
      case kCopy:
        copyRange(document->audio, a, b, out);
        break;
      case kKeep:
        keepRange(document->audio, a, b);
        break;
      case kScale:
        scaleRange(document->audio, a, b, 150);
        break;
      case kReplace:
        replaceRange(document->audio, a, b, piece);
        break;
      case kSnapshot:
        document->recordAction("Amplify");
        break;
      case kUndoRedo:
        document->undo();
        document->redo();
        break;
    }
    state.PauseTiming();
    if (edit == kUndoRedo && !document->canUndo()) document->recordAction("Amplify");
    if (edit != kSnapshot && edit != kUndoRedo && edit != kCopy) document->audio = original;
    state.ResumeTiming();
  }
  state.counters["ns/segment"] =
      benchmark::Counter(double(segments), benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
  document = nullptr;
}

void editArguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"edit", "seconds", "segments"});
  for (int edit = kDelete; edit <= kUndoRedo; ++edit) {
    b->Args({edit, 60, 1000});
    b->Args({edit, 3600, 1000});
    b->Args({edit, 36000, 1000});
    b->Args({edit, 3600, 100});
    b->Args({edit, 3600, 10000});
  }
}
BENCHMARK(BM_Edit)->Apply(editArguments)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillon::bench
