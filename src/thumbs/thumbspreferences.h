#pragma once

#include <QString>

// The settings the thumbnail view reads at every drawing; the preferences object of
// the application implements it.
class ThumbsPreferences
{
public:
    virtual ~ThumbsPreferences() = default;
    virtual bool viewFileName() const = 0;
    virtual bool showAllFavorites() const = 0;
    virtual bool paintFrame() const = 0;
    virtual QString frame() const = 0;
};
