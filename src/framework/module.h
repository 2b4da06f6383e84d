// Base class of every processing step: one virtual work() that consumes what
// its input queues hold and appends results to its output queues.
#pragma once

namespace x91 {

int get_millis();

class da_Module {
  public:
    da_Module() = default;
    da_Module(const da_Module&) = delete;
    da_Module& operator=(const da_Module&) = delete;

    // Repeats the module's cycle while its inputs hold enough items; never
    // waits and never fails: missing input just ends the call.
    virtual void work() = 0;

    // work() with its wall-clock time added to work_time.
    void work_t();

    int work_time = 0;
    const char* name = "<unknown>";

  protected:
    // Modules are destroyed through their own class, never through this base.
    ~da_Module();
};

}  // namespace x91
