#pragma once

#include "branding/BrandingText.h"

#include <functional>

// Draws a whole number uniformly from 0 to bound - 1.
using DrawIndex = std::function<int(int bound)>;

// The branding values of this run: the file's values plus one welcome page, one banner and two
// different links drawn at random, each draw independent of the others. `bannerNumber` is set to
// the number (1 to 16) of the picked banner, or 0 when there is none.
BrandingSettings PickBranding(const BrandingText& branding, const DrawIndex& draw, int& bannerNumber);

// The news button shows when the reseller's tier has a news account: its publisher id and news
// server are both given. The free tier is tested against the master account.
bool NewsButtonVisible(const BrandingSettings& settings);

// The name of a banner's picture as its decoder is chosen by: the file-name part of the branding's
// BannerImage (after its last folder separator or drive colon), in lower case.
QString BannerPictureName(const QString& bannerImage);
