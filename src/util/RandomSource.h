#pragma once

#include <QRandomGenerator>

// Random numbers as the program draws them; tests script the draws.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // A whole number drawn uniformly from 0 to bound - 1.
    virtual int bounded(int bound) = 0;
};

// The system's random numbers.
class SystemRandom final : public RandomSource {
public:
    int bounded(int bound) override { return int(QRandomGenerator::global()->bounded(bound)); }
};
