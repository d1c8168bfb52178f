#pragma once
// The window set: every window class and its process-wide instance. Windows
// drive each other's controls, so their kinds come along.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/Unit1.h"
#include "app/Unit10.h"
#include "app/Unit11.h"
#include "app/Unit13.h"
#include "app/Unit2.h"
#include "app/Unit6.h"
#include "app/Unit8.h"
#include "app/Unit9.h"
#include "encoder/Unit12.h"
#include "encoder/Unit4.h"
#include "image/Unit7.h"
#include "lens/Unit16.h"
#include "lens/Unit17.h"
#include "network/Unit14.h"
#include "network/Unit15.h"
#include "network/Unit3.h"
#include "settingsfile/Unit5.h"
