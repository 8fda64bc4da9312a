#!/usr/bin/env perl
# SPDX-License-Identifier: Apache-2.0
# Doxygen input filter for qelkit's public headers. The headers document their classes and
# operations with plain `//` comments; this filter hands them to Doxygen as documentation:
#
# - The comment that opens a header (before the include guard) describes the class named in its
#   first words ("NqTimeAggregation: a reporting period ..."). It becomes that class's
#   documentation (placed at the class definition), or the file's when no such class follows.
# - A `//` block directly above a declaration at file, namespace or class scope becomes `///`.
#   Blocks followed by a blank line, a preprocessor line, an access label or a closing brace
#   are notes, not documentation, and stay as they are; so do comments inside function bodies.
# - A trailing `// text` after a member or enumerator at such a scope becomes `///< text`.
#
# The comments are plain text, not Doxygen markup, so characters Doxygen would read as commands
# or HTML (\ @ < > & # % $) are escaped outside `code spans` and quoted text. Usage: doxygen_filter.pl FILE.
use strict;
use warnings;

my $file = shift @ARGV or die "usage: doxygen_filter.pl FILE\n";
open(my $in, '<', $file) or die "doxygen_filter.pl: $file: $!\n";
my @lines = <$in>;
close($in);
chomp @lines;

# Escapes Doxygen's special characters in the plain texts of one comment block. Text inside
# `code spans` and "double quotes" is left alone: Doxygen shows both literally, and a quoted
# text may run over several lines of the block.
sub escape_block {
    my (@texts) = @_;
    my ($in_code, $in_quote) = (0, 0);
    for my $text (@texts) {
        my $out = '';
        for my $ch (split //, $text) {
            if ($ch eq '`' && !$in_quote) {
                $in_code = !$in_code;
            } elsif ($ch eq '"' && !$in_code) {
                $in_quote = !$in_quote;
            } elsif (!$in_code && !$in_quote && $ch =~ /[\\@<>&#%\$]/) {
                $out .= '\\';
            }
            $out .= $ch;
        }
        $text = $out;
    }
    return @texts;
}

# The text of a whole-line comment, or undef when the line is not one.
sub comment_text {
    my ($line) = @_;
    return undef unless $line =~ m{^\s*//(?!/)\s?(.*)$};
    return $1;
}

# ---- The opening comment and the class it describes -------------------------------------------
# The licence line that opens every file is not part of the description.
my $first = 0;
$first++ while $first < @lines && $lines[$first] =~ /^\s*(?:$|\/\/ SPDX-License-Identifier:)/;
my ($lead_from, $lead_to) = ($first, $first - 1);
$lead_to++ while $lead_to + 1 < @lines && defined comment_text($lines[$lead_to + 1]);
my @lead = map { comment_text($lines[$_]) } $lead_from .. $lead_to;
my $lead_class_line = -1;
if (@lead && $lead[0] =~ /^(\w+)\b/) {
    my $name = $1;
    for my $i ($lead_to + 1 .. $#lines) {
        if ($lines[$i] =~ /^(?:class|struct)\s+(?:\w+\s+)*?\Q$name\E\b(?!.*;\s*$)/) {
            $lead_class_line = $i;
            last;
        }
    }
}

# Output lines for a comment block given as plain texts, documenting what follows.
sub doc_block {
    my @texts = escape_block(@_);
    return map { length($_) ? "/// $_" : '///' } @texts;
}

# ---- Scope tracking ---------------------------------------------------------------------------
# Each open brace is a 'scope' (namespace, class, struct, union, enum, extern "C") or a 'body'
# (function, initializer). Comments are documentation only when every open brace is a scope.
my @stack;
my $statement = '';
my $in_block_comment = 0;

sub documentable { return !grep { $_ eq 'body' } @stack; }

# Feeds the code of one line to the brace tracker.
sub track {
    my ($line) = @_;
    my $code = $line;
    if ($in_block_comment) {
        if ($code =~ s{^.*?\*/}{}) { $in_block_comment = 0; } else { return; }
    }
    $code =~ s{/\*.*?\*/}{ }g;
    if ($code =~ s{/\*.*$}{}) { $in_block_comment = 1; }
    $code =~ s{//.*$}{};
    $code =~ s/"(?:[^"\\]|\\.)*"/""/g;
    $code =~ s/'(?:[^'\\]|\\.)*'/''/g;
    return if $code =~ /^\s*#/;
    for my $ch (split //, $code) {
        if ($ch eq '{') {
            my $kind = ($statement =~ /\b(?:class|struct|union|enum|namespace)\b/ && $statement !~ /\(/)
                || $statement =~ /\bextern\s+""\s*$/ ? 'scope' : 'body';
            push @stack, $kind;
            $statement = '';
        } elsif ($ch eq '}') {
            pop @stack;
            $statement = '';
        } elsif ($ch eq ';') {
            $statement = '';
        } else {
            $statement .= $ch;
        }
    }
}

my @out;
my $i = 0;
while ($i < @lines) {
    if (@lead && $i == $lead_from) {
        if ($lead_class_line < 0) {
            my @doc = doc_block(@lead);
            $doc[-1] .= ' \file';
            push @out, @doc;
        } else {
            push @out, ('') x @lead;    # moved to the class definition
        }
        $i = $lead_to + 1;
        next;
    }
    if ($i == $lead_class_line) {
        push @out, doc_block(@lead);
    }

    my $text = comment_text($lines[$i]);
    if (defined $text) {
        my $end = $i;
        $end++ while $end + 1 < @lines && defined comment_text($lines[$end + 1]);
        my $next = $end + 1 < @lines ? $lines[$end + 1] : '';
        my $documents = documentable()
            && $next !~ /^\s*$/
            && $next !~ /^\s*#/
            && $next !~ /^\s*}/
            && $next !~ /^\s*(?:public|protected|private)\s*:/
            && $lines[$i] !~ m{//\s*(?:clang-format|NOLINT)};
        my @texts = escape_block(map { comment_text($lines[$_]) } $i .. $end);
        for my $j ($i .. $end) {
            my $t = shift @texts;
            if ($documents) {
                my ($indent) = $lines[$j] =~ /^(\s*)/;
                push @out, $indent . (length($t) ? "/// $t" : '///');
            } else {
                push @out, $lines[$j];
            }
        }
        $i = $end + 1;
        next;
    }

    my $line = $lines[$i];
    # A trailing comment after a member or enumerator documents it.
    if (documentable() && $line =~ m{^(\s*[^"/\s][^"/]*?[;,]\s*|\s*\w+\s*(?:=\s*[^"/]+)?)//(?!/)\s?(.*)$}
        && $line !~ /^\s*#/) {
        my ($code, $note) = ($1, $2);
        $line = $code . '///< ' . (escape_block($note))[0];
    }
    track($lines[$i]);
    push @out, $line;
    $i++;
}

print map { "$_\n" } @out;
