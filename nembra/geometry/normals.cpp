// Face normals.
#include "nembra/nembra.h"

#include <cmath>

namespace nembra {

void FINDNORMAL(double V1X, double V1Y, double V1Z, double V2X, double V2Y, double V2Z, double V3X, double V3Y,
                double V3Z) {
    constexpr int X = 1, Y = 2, Z = 3;

    // Scales VECTOR[0..2] to unit length; its length is held in single precision.
    auto REDUCETOUNIT = [](double* VECTOR) {
        float LENGTH =
            static_cast<float>(std::sqrt(VECTOR[0] * VECTOR[0] + VECTOR[1] * VECTOR[1] + VECTOR[2] * VECTOR[2]));
        if (LENGTH == 0.0f)
            LENGTH = 1.0f;
        for (int i = 0; i < 3; ++i)
            VECTOR[i] /= LENGTH;
    };

    const double TEMP_V1[4] = {0, V1X - V2X, V1Y - V2Y, V1Z - V2Z};
    const double TEMP_V2[4] = {0, V2X - V3X, V2Y - V3Y, V2Z - V3Z};
    FNORMAL[X] = TEMP_V1[Y] * TEMP_V2[Z] - TEMP_V1[Z] * TEMP_V2[Y];
    FNORMAL[Y] = TEMP_V1[Z] * TEMP_V2[X] - TEMP_V1[X] * TEMP_V2[Z];
    FNORMAL[Z] = TEMP_V1[X] * TEMP_V2[Y] - TEMP_V1[Y] * TEMP_V2[X];

    double TEMP_LENGHT = std::sqrt(FNORMAL[X] * FNORMAL[X] + FNORMAL[Y] * FNORMAL[Y] + FNORMAL[Z] * FNORMAL[Z]);
    if (TEMP_LENGHT == 0.0) // degenerate points: the normal stays (0, 0, 0)
        TEMP_LENGHT = 1.0;
    FNORMAL[X] /= TEMP_LENGHT;
    FNORMAL[Y] /= TEMP_LENGHT;
    FNORMAL[Z] /= TEMP_LENGHT;
    REDUCETOUNIT(FNORMAL.data());
}

} // namespace nembra
