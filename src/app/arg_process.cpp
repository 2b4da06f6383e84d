#include "app/arg_process.h"

#include <iostream>
#include <string>

#include "app/conversions.h"
#include "app/file_names.h"
#include "app/quality_file.h"
#include "app/settings/settings.h"
#include "dsp/fft.h"

int arg_process(int argc, char** argv) {
    if (argc < 2) return 0;

    da_fft_init();
    const da_ESettings run_es = es;
    da_ISettings run_is = is;
    const da_DSettings run_ds = ds;
    const da_CodeFeatures features{};
    use_quality_file(QUALITY_FILE, run_is, std::cout, std::cerr);

    bool all_converted = true;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (is_wave_name(name))
            all_converted &= WaveToXFile(name, x91_output_name(name), run_es, run_is, run_ds, features);
        // Not an else: a name may in principle match both suffixes.
        if (is_x91_name(name)) all_converted &= XFileToWave(name, wave_output_name(name));
        if (!is_wave_name(name) && !is_x91_name(name)) {
            // Doing nothing in silence would look like success.
            std::cerr << "x91: " << name << ": not a .wav or .x91 name, skipped" << std::endl;
            all_converted = false;
        }
    }
    da_fft_finit();
    return all_converted ? 0 : 1;
}
