#pragma once

// Random numbers as the program draws them; tests script the draws.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // A whole number drawn uniformly from 0 to bound - 1.
    virtual int bounded(int bound) = 0;
};
