// Conversions between the complex spectra of the analysis and the real
// spectra that are quantised and coded: c = √2·Re X one way, (√2·c, 0) back,
// which together rebuild the signal at unit gain through the overlap-add.
#pragma once

#include "format/settings.h"
#include "framework/cpu_dispatch.h"
#include "framework/module.h"
#include "framework/typed_queues.h"

namespace x91 {

// One spectrum in, passed on unchanged on output1, and a new spectrum of
// `values_per_line` floats per line, converted from it, on output2.
class SpectrumConversion : public da_Module {
  public:
    void work() override;

    GetFace<float> input;
    PutFace<float> output1;  // receives the input item unchanged
    PutFace<float> output2;  // receives the converted item

  protected:
    using Convert = CpuVariants<void(const float* in, float* out, int lines)>;
    SpectrumConversion(const da_DGlobalSettings& settings, int values_per_line,
                       const Convert& convert);
    ~SpectrumConversion() = default;

  private:
    int lines_;
    int values_per_line_;
    const Convert& convert_;
};

// Complex spectrum in (at least L complex values); puts L floats √2·Re s[k]
// on output2.
class da_CRSpecsTransform final : public SpectrumConversion {
  public:
    explicit da_CRSpecsTransform(const da_DGlobalSettings& settings);
};

// Real spectrum in (L floats); puts L complex values (√2·r[k], 0) on output2.
class da_RCSpecsTransform final : public SpectrumConversion {
  public:
    explicit da_RCSpecsTransform(const da_DGlobalSettings& settings);
};

}  // namespace x91
