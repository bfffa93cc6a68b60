#pragma once
// `kvlhost expand --trace`: the tree of plug-in calls as they run, written a line at a
// time (ANSI). A template decides how many calls run, how deep they nest and how large
// their texts are, so every line is short and one line: texts are cut and escaped, a
// call's passes after the third are counted, not listed, and past kMaxLines the rest of
// the trace is left out.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "host/TextMarks.h"

namespace kvlhost {

class CallTrace {
 public:
  static constexpr std::size_t kShownCharacters = 60;  // of each argument, text and result
  static constexpr std::size_t kShownArguments = 10;
  static constexpr std::uint64_t kListedPasses = 3;
  static constexpr std::size_t kMaxLines = 5000;

  explicit CallTrace(std::function<void(const std::string&)> sink) : sink_(std::move(sink)) {}

  // Leaves the call or pass it was entered for: what follows is written less indented.
  class Scope {
   public:
    Scope() = default;
    explicit Scope(CallTrace* trace) : trace_(trace) {}
    Scope(Scope&& other) noexcept : trace_(std::exchange(other.trace_, nullptr)) {}
    Scope& operator=(Scope&&) = delete;
    ~Scope() {
      if (trace_ != nullptr) trace_->leave();
    }

   private:
    CallTrace* trace_ = nullptr;
  };

  // "%KVL_For at my.tpl:3:1" (`where` is empty inside a text the plug-in handed back);
  // calls in its arguments, its arguments, passes and result follow indented.
  [[nodiscard]] Scope enterCall(std::string_view name, std::string_view where);
  void arguments(std::span<const MarkedText> args);
  // A text the call handed back to be expanded, starting its pass `pass` (from 1).
  [[nodiscard]] Scope enterPass(std::uint64_t pass, std::string_view hostText);
  // What kvlhost saw of a call's work: its time, and the passes and bytes of text moved
  // (arguments, texts handed back and their expansions, results) with the calls inside it.
  struct Work {
    double milliseconds = 0;
    std::uint64_t passes = 0;
    std::uint64_t bytes = 0;
  };
  // `result` is null when the plug-in does not know the macro; `ownPasses` are the call's
  // own, for the count of those not listed.
  void callEnded(const std::string* result, std::uint64_t ownPasses, const Work& work);

  // "text" with quotes, backslashes and control characters escaped, cut after
  // kShownCharacters characters: "text"... (1234 characters).
  static std::string Shown(std::string_view text);

 private:
  void leave();
  void write(const std::string& text);

  std::function<void(const std::string&)> sink_;
  int depth_ = 0;
  int muted_ = 0;  // scopes entered since a pass that is not listed began
  std::size_t lines_ = 0;
};

}  // namespace kvlhost
