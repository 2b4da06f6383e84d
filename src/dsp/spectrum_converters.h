// Conversions between the complex spectra of the analysis and the real
// spectra that are quantised and coded: c = √2·Re X one way, (√2·c, 0) back,
// which together rebuild the signal at unit gain through the overlap-add.
#pragma once

#include "format/settings.h"
#include "framework/module.h"
#include "framework/typed_queues.h"

namespace x91 {

// Complex spectrum in (at least L complex values); passes it on unchanged on
// output1 and puts L floats √2·Re s[k] on output2.
class da_CRSpecsTransform final : public da_Module {
  public:
    explicit da_CRSpecsTransform(const da_DGlobalSettings& settings);
    void work() override;

    GetFace<float> input;
    PutFace<float> output1;  // receives the input item unchanged
    PutFace<float> output2;  // receives the converted item

  private:
    int lines_;
};

// Real spectrum in (L floats); passes it on unchanged on output1 and puts L
// complex values (√2·r[k], 0) on output2.
class da_RCSpecsTransform final : public da_Module {
  public:
    explicit da_RCSpecsTransform(const da_DGlobalSettings& settings);
    void work() override;

    GetFace<float> input;
    PutFace<float> output1;  // receives the input item unchanged
    PutFace<float> output2;  // receives the converted item

  private:
    int lines_;
};

}  // namespace x91
