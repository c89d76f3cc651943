#pragma once

#include <coroutine>
#include <exception>
#include <optional>
#include <utility>

namespace lark {

namespace detail {

struct PromiseBase {
    std::coroutine_handle<> continuation;
    std::exception_ptr exception;

    struct FinalAwaiter {
        bool await_ready() const noexcept { return false; }
        template <typename Promise>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> self) noexcept {
            auto next = self.promise().continuation;
            return next ? next : std::noop_coroutine();
        }
        void await_resume() const noexcept {}
    };

    std::suspend_always initial_suspend() const noexcept { return {}; }
    FinalAwaiter final_suspend() const noexcept { return {}; }
    void unhandled_exception() noexcept { exception = std::current_exception(); }
};

template <typename T>
struct ValuePromise : PromiseBase {
    std::optional<T> value;
    template <typename U>
    void return_value(U&& v) {
        value.emplace(std::forward<U>(v));
    }
    T Take() { return std::move(*value); }
};

struct VoidPromise : PromiseBase {
    void return_void() const noexcept {}
    void Take() const noexcept {}
};

}  // namespace detail

// A lazily started coroutine that a parent awaits. Completion hands control straight back to
// the awaiting parent (symmetric transfer), so a chain of nested calls suspends and resumes as
// one: a scheduler only ever resumes the innermost suspended frame. Destroying a Task destroys
// its frame and, through the locals of that frame, every frame it is awaiting.
template <typename T = void>
class [[nodiscard]] Task {
    using Base =
        std::conditional_t<std::is_void_v<T>, detail::VoidPromise, detail::ValuePromise<T>>;

  public:
    struct promise_type : Base {
        Task get_return_object() {
            return Task(std::coroutine_handle<promise_type>::from_promise(*this));
        }
    };
    using Handle = std::coroutine_handle<promise_type>;

    Task() = default;
    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Task& operator=(Task&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() { Reset(); }

    bool Valid() const { return static_cast<bool>(handle_); }
    bool Done() const { return handle_ && handle_.done(); }
    // Where a scheduler first resumes a root task.
    std::coroutine_handle<> Entry() const { return handle_; }
    std::exception_ptr Exception() const { return handle_ ? handle_.promise().exception : nullptr; }

    auto operator co_await() && noexcept {
        struct Awaiter {
            Handle handle;
            bool await_ready() const noexcept { return !handle || handle.done(); }
            std::coroutine_handle<> await_suspend(std::coroutine_handle<> parent) noexcept {
                handle.promise().continuation = parent;
                return handle;
            }
            T await_resume() {
                if (handle.promise().exception) {
                    std::rethrow_exception(handle.promise().exception);
                }
                return handle.promise().Take();
            }
        };
        return Awaiter{handle_};
    }

  private:
    explicit Task(Handle handle) : handle_(handle) {}
    void Reset() {
        if (handle_) {
            std::exchange(handle_, {}).destroy();
        }
    }

    Handle handle_;
};

// Calls a coroutine lambda and keeps the lambda, captures and all, alive in the frame. A
// capturing coroutine lambda called in place would leave its frame pointing at a closure
// destroyed at the end of the statement.
template <typename F>
Task<> Invoke(F f) {
    co_await f();
}

}  // namespace lark
