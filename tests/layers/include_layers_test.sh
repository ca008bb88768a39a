#!/usr/bin/env bash
# With src/ as the one include root, any header is reachable from anywhere: this keeps each folder's
# includes to the folders its CMake link line names (docs/ARCHITECTURE.md, "Layers"), and the folders
# that link no QtWidgets free of its headers.
#   include_layers_test.sh SOURCE_DIR QT_WIDGETS_INCLUDE_DIR
set -euo pipefail
src=$1/src
widgets=$2
widget_free="platform config routines service central registration"
[[ -d $widgets ]] || { echo "usage: $0 SOURCE_DIR QT_WIDGETS_INCLUDE_DIR"; exit 2; }
declare -A may=(
    [platform]="platform"
    [config]="config platform"
    [routines]="routines config platform"
    [service]="service routines config platform"
    [widgets]="widgets routines config platform"
    [fingerprint]="fingerprint widgets routines config platform"
    [central]="central service routines config platform"
    [registration]="registration service routines config platform"
    [screen]="screen registration service widgets routines config platform"
    [module]="module screen registration central fingerprint service widgets routines config platform"
)
status=0
for dir in "$src"/*/; do
    layer=$(basename "$dir")
    if [[ -z ${may[$layer]+set} ]]; then
        echo "src/$layer: a folder the layer table does not know; add it here and to docs/ARCHITECTURE.md"
        status=1
        continue
    fi
    while IFS=: read -r file line include; do
        target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/' <<<"$include")
        folder=${target%%/*}
        if [[ $target != */* ]]; then
            echo "${file#"$1"/}:$line: \"$target\" does not name its folder"
            status=1
        elif [[ " ${may[$layer]} " != *" $folder "* ]]; then
            echo "${file#"$1"/}:$line: $layer may not include $target (it may use: ${may[$layer]})"
            status=1
        fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$dir" --include='*.h' --include='*.cpp' || true)
    [[ " $widget_free " == *" $layer "* ]] || continue
    while IFS=: read -r file line include; do
        header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+<([^>]+)>.*/\1/' <<<"$include")
        if [[ -e $widgets/${header#QtWidgets/} ]]; then
            echo "${file#"$1"/}:$line: $layer links no QtWidgets, yet includes <$header>"
            status=1
        fi
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+<' "$dir" --include='*.h' --include='*.cpp' || true)
done
exit $status
