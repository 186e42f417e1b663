#include "platform/replay/ReplayBackend.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/Capture.h"

namespace platform {
namespace {

// Bytes as a message shows them: all of a short transfer's, else 32 from the
// 16-byte row where the interesting one lies.
std::string Shown(const std::vector<uint8_t>& bytes, size_t from) {
  static constexpr char kDigits[] = "0123456789abcdef";
  if (bytes.empty()) return "(none)";
  const bool whole = bytes.size() <= 64;
  const size_t begin = whole ? 0 : std::min(from, bytes.size() - 1) & ~size_t{15};
  const size_t end = whole ? bytes.size() : std::min(begin + 32, bytes.size());
  std::string text;
  for (size_t i = begin; i < end; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  if (!whole)
    text += " (bytes " + std::to_string(begin) + "-" + std::to_string(end - 1) + " of " + std::to_string(bytes.size()) +
            ")";
  return text;
}

std::string HexNumber(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

// A transfer in words; its bytes sent are shown from `from` on.
std::string Words(const RecordedTransfer& t, size_t from = 0) {
  const std::string selector = "selector " + std::to_string(t.selector);
  switch (t.kind) {
    case TransferKind::kLength: return "xu length query, " + selector;
    case TransferKind::kGet: return "xu get, " + selector + ", " + std::to_string(t.length) + " bytes";
    case TransferKind::kSet:
      return "xu set, " + selector + ", " + std::to_string(t.sent.size()) + " bytes: " + Shown(t.sent, from);
    case TransferKind::kRequest: break;
  }
  const VendorRequestSetup& s = t.setup;
  std::string words = std::string("vendor request ") + (s.toHost ? "in" : "out") + ", bRequest " +
                      HexNumber(s.bRequest, 2) + ", wValue " + HexNumber(s.wValue, 4) + ", wIndex " +
                      HexNumber(s.wIndex, 4) + ", wLength " + std::to_string(s.wLength);
  return s.toHost ? words : words + ": " + Shown(t.sent, from);
}

bool SameRequest(const VendorRequestSetup& a, const VendorRequestSetup& b) {
  return a.toHost == b.toHost && a.bRequest == b.bRequest && a.wValue == b.wValue && a.wIndex == b.wIndex &&
         a.wLength == b.wLength;
}

// The first byte where two transfers' bytes sent part; none when they don't.
std::optional<size_t> FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const auto parted = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  if (parted.first == a.end() && parted.second == b.end()) return std::nullopt;
  return static_cast<size_t>(parted.first - a.begin());
}

// How the command's transfer differs from the recorded one; empty when it
// is the same.
std::string Difference(const RecordedTransfer& recorded, const std::string& recordedPath, const RecordedTransfer& made,
                       const std::string& madePath) {
  const std::optional<size_t> byte = FirstDifference(recorded.sent, made.sent);
  const bool same = recorded.kind == made.kind && recorded.selector == made.selector &&
                    (recorded.kind != TransferKind::kGet || recorded.length == made.length) &&
                    (recorded.kind != TransferKind::kRequest || SameRequest(recorded.setup, made.setup)) && !byte;
  if (same && recordedPath == madePath) return {};
  const size_t from = byte.value_or(0);
  std::string why = "\n  recorded: " + Words(recorded, from) + "\n  command:  " + Words(made, from);
  if (same) return why + "\n  on another device: recorded " + recordedPath + ", the command's " + madePath;
  if (byte && recorded.kind == made.kind && recorded.sent.size() == made.sent.size())
    why += "\n  the bytes sent differ first at byte " + std::to_string(*byte);
  return why;
}

// The answer to a question about `path` given for that appearance of it, the
// last one before `line` or else the first after; failing that, one given
// for another appearance in the same way.
template <typename Answer>
const Answer* Find(const std::vector<Answer>& answers, const std::string& path, uint32_t appearance, size_t line) {
  for (const bool sameAppearance : {true, false}) {
    const Answer* before = nullptr;
    const Answer* after = nullptr;
    for (const Answer& a : answers) {
      if (a.path != path || (sameAppearance && a.appearance != appearance)) continue;
      if (a.line <= line)
        before = &a;
      else if (!after)
        after = &a;
    }
    if (before || after) return before ? before : after;
  }
  return nullptr;
}

}  // namespace

class ReplayState {
 public:
  explicit ReplayState(RecordedTrace trace) : trace_(std::move(trace)) {}

  const RecordedTrace& Trace() const { return trace_; }

  void Sleep(uint32_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_ += milliseconds;
  }
  uint64_t Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
  }

  // The listing that answers a listing now; none once the replay has stopped.
  std::optional<size_t> List() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopped_.empty()) return std::nullopt;
    const std::optional<size_t> chosen = ListingNow();
    if (chosen) {
      inForce_ = chosen;
      now_ = std::max(now_, trace_.listings[*chosen].time);
    }
    return chosen;
  }

  // Whether the device that input `input` of listing `listing` stood for is
  // still listed in the same appearance.
  bool Present(size_t listing, size_t input) {
    std::lock_guard<std::mutex> lock(mutex_);
    const RecordedInput& in = trace_.listings[listing].inputs[input];
    if (!stopped_.empty() || !inForce_) return false;
    if (!in.path) return *inForce_ == listing;
    return AppearanceNow(*in.path) == in.appearance;
  }

  template <typename Answer>
  std::optional<Answer> Lookup(const std::vector<Answer>& answers, const std::string& path,
                               std::optional<uint32_t> appearance = std::nullopt) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopped_.empty()) return std::nullopt;
    const uint32_t of = appearance.value_or(AppearanceNow(path));
    const Answer* found = Find(answers, path, of, Position());
    // A device not listed now has no instance, whatever it had before.
    if (!found || (std::is_same_v<Answer, RecordedInstance> && of == 0 && found->appearance != 0)) return std::nullopt;
    return *found;
  }

  // The recorded answer to `made`, a transfer on a channel opened on `path`;
  // null once the replay has stopped, this transfer included.
  const RecordedTransfer* Play(const RecordedTransfer& made, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopped_.empty()) return nullptr;
    const std::string number = std::to_string(next_ + 1);
    if (next_ >= trace_.transfers.size()) {
      stopped_ = "the replay stopped at transfer " + number + ": the recording ends after transfer " +
                 std::to_string(trace_.transfers.size()) + "\n  command:  " + Words(made);
      return nullptr;
    }
    const RecordedTransfer& recorded = trace_.transfers[next_];
    const std::string difference = Difference(recorded, trace_.channelPaths.at(recorded.chan), made, path);
    if (!difference.empty()) {
      stopped_ = "the replay stopped at transfer " + number + " (line " + std::to_string(recorded.line) + " of " +
                 trace_.name + "): the command's transfer is not the recorded one" + difference;
      return nullptr;
    }
    now_ = std::max(now_, recorded.time);
    lastTransferLine_ = recorded.line;
    ++next_;
    return &recorded;
  }

  std::string Verdict() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopped_.empty() || next_ >= trace_.transfers.size()) return stopped_;
    const RecordedTransfer& due = trace_.transfers[next_];
    return "the command ended after transfer " + std::to_string(next_) + ", but the recording goes on to transfer " +
           std::to_string(trace_.transfers.size()) + "\n  next recorded (line " + std::to_string(due.line) + " of " +
           trace_.name + "): " + Words(due);
  }

 private:
  // The listings recorded between the last transfer played and the next one:
  // the first not earlier than now, else the last of them; when there is none
  // between them, the last listing before.
  std::optional<size_t> ListingNow() const {
    const size_t next =
        next_ < trace_.transfers.size() ? trace_.transfers[next_].line : std::numeric_limits<size_t>::max();
    std::optional<size_t> first, last, before;
    for (size_t i = 0; i < trace_.listings.size(); ++i) {
      const RecordedListing& listing = trace_.listings[i];
      if (listing.line < lastTransferLine_) {
        before = i;
      } else if (listing.line < next) {
        if (!first && listing.time >= now_) first = i;
        last = i;
      }
    }
    return first ? first : last ? last : before;
  }

  uint32_t AppearanceNow(const std::string& path) const {
    if (!inForce_) return 0;
    for (const RecordedInput& in : trace_.listings[*inForce_].inputs)
      if (in.path == path) return in.appearance;
    return 0;
  }

  // The line the replay has reached: the last transfer played or the
  // listing in force, whichever came later in the recording.
  size_t Position() const { return std::max(lastTransferLine_, inForce_ ? trace_.listings[*inForce_].line : 0); }

  std::mutex mutex_;
  const RecordedTrace trace_;
  uint64_t now_ = 0;
  size_t next_ = 0;
  size_t lastTransferLine_ = 0;
  std::optional<size_t> inForce_;
  std::string stopped_;
};

namespace {

class ReplayClock final : public IClock {
 public:
  explicit ReplayClock(std::shared_ptr<ReplayState> state) : state_(std::move(state)) {}
  void Sleep(uint32_t milliseconds) override { state_->Sleep(milliseconds); }
  uint64_t NowMilliseconds() override { return state_->Now(); }

 private:
  std::shared_ptr<ReplayState> state_;
};

class ReplayExtensionUnit final : public IExtensionUnitChannel {
 public:
  ReplayExtensionUnit(std::shared_ptr<ReplayState> state, std::string path, bool fixesSize)
      : state_(std::move(state)), path_(std::move(path)), fixesSize_(fixesSize) {}

  Status GetLength(uint32_t selector, uint16_t* length) override {
    *length = 0;
    const RecordedTransfer* recorded = Play(TransferKind::kLength, selector);
    if (!recorded) return kDeviceGone;
    *length = static_cast<uint16_t>(recorded->length);
    return recorded->status;
  }

  Status Get(uint32_t selector, uint8_t* data, uint32_t length, uint32_t* returned) override {
    *returned = 0;
    const RecordedTransfer* recorded = Play(TransferKind::kGet, selector, length);
    if (!recorded) return kDeviceGone;
    if (data) std::copy_n(recorded->got.begin(), std::min<size_t>(recorded->got.size(), length), data);
    *returned = recorded->returned;
    return recorded->status;
  }

  Status Set(uint32_t selector, const uint8_t* data, uint32_t length) override {
    const RecordedTransfer* recorded = Play(TransferKind::kSet, selector, 0, data, data ? length : 0);
    return recorded ? recorded->status : kDeviceGone;
  }

  bool FixesSizeAtFirstUse() const override { return fixesSize_; }

 private:
  const RecordedTransfer* Play(TransferKind kind, uint32_t selector, uint32_t length = 0, const uint8_t* sent = nullptr,
                               uint32_t sentLength = 0) {
    RecordedTransfer made;
    made.kind = kind;
    made.selector = selector;
    made.length = length;
    if (sent) made.sent.assign(sent, sent + sentLength);
    return state_->Play(made, path_);
  }

  std::shared_ptr<ReplayState> state_;
  const std::string path_;
  const bool fixesSize_;
};

class ReplayVendorRequests final : public IVendorRequestChannel {
 public:
  ReplayVendorRequests(std::shared_ptr<ReplayState> state, std::string path)
      : state_(std::move(state)), path_(std::move(path)) {}

  uint32_t Send(const VendorRequestSetup& setup, uint8_t* data, uint32_t* transferred) override {
    *transferred = 0;
    RecordedTransfer made;
    made.kind = TransferKind::kRequest;
    made.setup = setup;
    if (data && !setup.toHost) made.sent.assign(data, data + setup.wLength);
    const RecordedTransfer* recorded = state_->Play(made, path_);
    if (!recorded) return kErrorDeviceNotConnected;
    if (data && setup.toHost)
      std::copy_n(recorded->got.begin(), std::min<size_t>(recorded->got.size(), setup.wLength), data);
    *transferred = recorded->transferred;
    return recorded->result;
  }

 private:
  std::shared_ptr<ReplayState> state_;
  const std::string path_;
};

class ReplayInput final : public IVideoInput {
 public:
  ReplayInput(std::shared_ptr<ReplayState> state, size_t listing, size_t index)
      : state_(std::move(state)), listing_(listing), index_(index) {}

  Status Bind() override { return state_->Present(listing_, index_) ? kOk : kDeviceGone; }

  Status ReadProperty(const std::string& name, std::string* value) override {
    if (!state_->Present(listing_, index_)) return kDeviceGone;
    const RecordedInput& in = Input();
    const bool isPath = name == "DevicePath";
    if (!isPath && name != "FriendlyName") return kPropertyMissing;
    const std::optional<std::string>& text = isPath ? in.path : in.name;
    if (!text) return isPath ? in.pathStatus : in.nameStatus;
    *value = *text;
    return kOk;
  }

  Status OpenExtensionUnit(std::shared_ptr<IExtensionUnitChannel>* out) override {
    out->reset();
    if (!state_->Present(listing_, index_)) return kDeviceGone;
    const RecordedInput& in = Input();
    if (!in.path) return kNoInterface;
    const auto open = state_->Lookup(state_->Trace().unitOpens, *in.path, in.appearance);
    if (!open) return kOk;
    if (open->unit) *out = std::make_shared<ReplayExtensionUnit>(state_, *in.path, open->fixesSize);
    return open->status;
  }

 private:
  const RecordedInput& Input() const { return state_->Trace().listings[listing_].inputs[index_]; }

  std::shared_ptr<ReplayState> state_;
  const size_t listing_;
  const size_t index_;
};

}  // namespace

ReplayBackend::ReplayBackend(RecordedTrace trace)
    : state_(std::make_shared<ReplayState>(std::move(trace))), clock_(std::make_unique<ReplayClock>(state_)) {}

ReplayBackend::~ReplayBackend() = default;

Status ReplayBackend::ListVideoInputs(std::vector<std::shared_ptr<IVideoInput>>* out) {
  out->clear();
  const std::optional<size_t> chosen = state_->List();
  if (!chosen) return kOk;
  const RecordedListing& listing = state_->Trace().listings[*chosen];
  for (size_t i = 0; i < listing.inputs.size(); ++i) out->push_back(std::make_shared<ReplayInput>(state_, *chosen, i));
  return listing.status;
}

Status ReplayBackend::QueryDeviceInstance(const std::string& devicePath, uint32_t* devInst) {
  *devInst = 0;
  const auto instance = state_->Lookup(state_->Trace().instances, devicePath);
  if (!instance) return kOk;
  *devInst = instance->devInst;
  return instance->status;
}

std::shared_ptr<IVendorRequestChannel> ReplayBackend::OpenVendorRequests(const std::string& devicePath) {
  const auto open = state_->Lookup(state_->Trace().vendorOpens, devicePath);
  if (!open || !open->opened) return nullptr;
  return std::make_shared<ReplayVendorRequests>(state_, devicePath);
}

std::string ReplayBackend::WhereListed() {
  const RecordedTrace& trace = state_->Trace();
  return trace.listedIn.empty() ? "the recording " + trace.name : trace.listedIn + ", as recorded in " + trace.name;
}

DeviceFacts ReplayBackend::Describe(const std::string& devicePath) {
  const auto facts = state_->Lookup(state_->Trace().facts, devicePath);
  return facts ? facts->facts : DeviceFacts{};
}

IClock& ReplayBackend::Clock() { return *clock_; }

std::string ReplayBackend::Verdict() { return state_->Verdict(); }

}  // namespace platform
