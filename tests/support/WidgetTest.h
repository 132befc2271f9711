// SPDX-License-Identifier: GPL-3.0-or-later
// What the editor window's tests reach for: the controller's widgets, Qt
// Test's spies and input, and the pictures and controller of TestImages.h.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "files/CustomImageView.h"
#include "settings/SettingsText.h"
#include "support/TestImages.h"
