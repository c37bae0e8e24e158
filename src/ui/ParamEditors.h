#pragma once

// The widgets behind the parameters' on-screen editors: the drop-down list, the clock
// editor and character entry, made through the factory that the parameters know.

#include "document/ParamEditor.h"

class CWidgetParamEditorFactory final : public CParamEditorFactory {
public:
    std::unique_ptr<CParamEditor> CreateList(const QRect& listRect, const QRect& fieldRect, QWidget* parent, int id,
                                             const QStringList& names, int selected) override;
    std::unique_ptr<CParamEditor> CreateDateTime(std::uint32_t style, const QRect& rect, QWidget* parent, int id,
                                                 const QString& text) override;
    std::unique_ptr<CParamEditor> CreateText(const QRect& rect, QWidget* parent, int id, const QString& text) override;
};

// The program's factory; the application installs it at start-up.
CWidgetParamEditorFactory& WidgetParamEditorFactory();
